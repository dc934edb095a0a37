#include "dialogs/SetupSheets.h"

#include "app/base/UserMessages.h"
#include "dialogs/QuiltmarkBasicDlg.h"
#include "dialogs/QuiltmarkLayoutDlg.h"
#include "document/section/Addressing.h"
#include "document/QuiltmarkDoc.h"
#include "document/section/SubDoc.h"
#include "shell/toolkit/ModelText.h"

#include <climits>

namespace {

// Stored values may come from a damaged file: the one-based view of them, or the next
// universe up, must not overflow. Reading back clamps into the page's range anyway.
int PlusOne(int value)
{
    return value == INT_MAX ? INT_MAX : value + 1;
}

void ConfigureSheet(QWizard& sheet, const QString& title)
{
    sheet.setWindowTitle(title);
    sheet.setWizardStyle(QWizard::ClassicStyle);
    sheet.setOption(QWizard::NoBackButtonOnStartPage, false);
    sheet.setOption(QWizard::HaveHelpButton, false);
    // Back and Next keep what was typed on a page instead of loading it again.
    sheet.setOption(QWizard::IndependentPages, true);
}

} // namespace

CCreateMatrixSheet::CCreateMatrixSheet(CQuiltmarkDoc& doc, QWidget* parent)
    : QWizard(parent)
    , m_doc(doc)
    , m_section(doc.GetCurrentSection())
{
    setObjectName("createMatrixSheet");
    ConfigureSheet(*this, QStringLiteral("Create New Matrix"));

    m_basic = new CQuiltmarkBasicDlg(doc, doc.GetCurrentSectionIndex(), this);
    m_layout = new CQuiltmarkLayoutDlg(this);
    m_layout->showBack = true;
    if (m_section) {
        const CSectionSetup& s = m_section->setup;
        m_basic->fixType = s.fix_type;
        m_basic->orientation = s.orientation;
        m_basic->styleIndex = s.skope_style_type;
        m_basic->width = s.matrix_width;
        m_basic->height = s.matrix_height;
        m_basic->screenName = s.screen_med_name;
        m_basic->screenId = s.screen_id;
        // Only proposed: the section takes it with the other values on Finish, so that
        // Cancel changes nothing and Undo of the Finish brings the 0 back.
        const int base
            = s.base_universe == 0 ? PlusOne(m_doc.GetHighestUsedUniverse()) : s.base_universe;
        m_layout->baseUniverse = PlusOne(base);
        m_layout->firstAddress = PlusOne(s.addr_first);
        m_layout->highestAddress = s.addr_count;
        m_layout->origin = s.address_origin;
        m_layout->direction = s.primary_direction;
        m_layout->snake = s.check_invert_secondaries;
    }
    m_basic->LoadControls();
    m_layout->LoadControls();
    addPage(m_basic);
    addPage(m_layout);
}

void CCreateMatrixSheet::accept()
{
    // Finish can be pressed without passing Next's checks in some styles: read both pages.
    m_basic->ReadControls();
    m_layout->ReadControls();
    if (!m_section) {
        QWizard::accept();
        return;
    }
    CSectionSetup s = m_section->setup;
    s.fix_type = m_basic->fixType;
    s.orientation = m_basic->orientation;
    s.skope_style_type = m_basic->styleIndex;
    s.matrix_width = m_basic->width;
    s.matrix_height = m_basic->height;
    s.screen_med_name = CutUtf8(m_basic->screenName, CSubDoc::kMaxTextLength);
    s.screen_id = m_basic->screenId;
    s.base_universe = m_layout->baseUniverse - 1;
    s.addr_first = m_layout->firstAddress - 1;
    s.addr_count = m_layout->highestAddress;
    s.address_origin = m_layout->origin;
    s.primary_direction = m_layout->direction;
    s.check_invert_secondaries = m_layout->snake;
    // Refused (too large): the section keeps what it had and the sheet stays open.
    if (!m_doc.SetUpSection(*m_section, s))
        return;
    QWizard::accept();
}

CModifySelectionSheet::CModifySelectionSheet(
    CQuiltmarkDoc& doc, int focusColumn, int focusRow, bool createItems, QWidget* parent)
    : QWizard(parent)
    , m_doc(doc)
    , m_section(doc.GetCurrentSection())
    , m_createItems(createItems)
{
    setObjectName("modifySelectionSheet");
    ConfigureSheet(*this, QStringLiteral("Modify selected items in the curret Section"));
    m_layout = new CQuiltmarkLayoutDlg(this);
    m_layout->showBack = false;
    if (m_section) {
        const CSectionSetup& s = m_section->setup;
        const CTileRecord* focus = m_section->GetTile(focusColumn, focusRow);
        // An undefined focus tile proposes 0, which reads back as 1.
        m_layout->baseUniverse = focus ? PlusOne(focus->universe) : 0;
        m_layout->firstAddress = focus ? PlusOne(focus->address) : 0;
        m_layout->highestAddress = s.addr_count;
        m_layout->origin = s.address_origin;
        m_layout->direction = s.primary_direction;
        m_layout->snake = s.check_invert_secondaries;
    }
    m_layout->LoadControls();
    addPage(m_layout);
    setButtonLayout({ QWizard::Stretch, QWizard::FinishButton, QWizard::CancelButton });
}

void CModifySelectionSheet::accept()
{
    m_layout->ReadControls();
    if (m_section) {
        CAddressingParams params = CAddressingParams::FromSetup(m_section->setup);
        params.baseUniverse = m_layout->baseUniverse - 1;
        params.firstAddress = m_layout->firstAddress - 1;
        params.highestAddress = m_layout->highestAddress;
        params.origin = m_layout->origin;
        params.direction = m_layout->direction;
        params.snake = m_layout->snake;
        m_doc.AddressSelectedTiles(*m_section, params, m_createItems);
    }
    QWizard::accept();
}
