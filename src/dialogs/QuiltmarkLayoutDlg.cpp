#include "dialogs/QuiltmarkLayoutDlg.h"

#include "dialogs/ClampedSpinBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWizard>
#include <algorithm>
#include <vector>

// A small picture of a 4 x 3 matrix with the order in which the tiles get addressed.
class CMatrixPreview : public QWidget {
public:
    explicit CMatrixPreview(QWidget* parent)
        : QWidget(parent)
    {
        setMinimumSize(96, 72);
        setObjectName("matrixPreview");
    }

    void SetLayout(int origin, int direction, int snake)
    {
        m_origin = origin;
        m_direction = direction;
        m_snake = snake;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        constexpr int kColumns = 4;
        constexpr int kRows = 3;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
        const double cw = area.width() / kColumns;
        const double ch = area.height() / kRows;
        p.setPen(QPen(palette().color(QPalette::Mid), 1));
        for (int y = 0; y < kRows; ++y)
            for (int x = 0; x < kColumns; ++x)
                p.drawRect(QRectF(area.left() + x * cw, area.top() + y * ch, cw, ch));

        // The same visiting rule the addressing uses, on a tiny grid.
        std::vector<QPointF> points;
        const int lines = m_direction == 0 ? kRows : kColumns;
        const int steps = m_direction == 0 ? kColumns : kRows;
        for (int line = 0; line < lines; ++line) {
            for (int step = 0; step < steps; ++step) {
                int o = m_origin;
                if (m_snake && (line & 1))
                    o ^= m_direction == 0 ? 1 : 2;
                const int c = m_direction == 0 ? step : line;
                const int r = m_direction == 0 ? line : step;
                const int x = (o & 1) ? kColumns - 1 - c : c;
                const int y = (o & 2) ? kRows - 1 - r : r;
                points.emplace_back(area.left() + (x + 0.5) * cw, area.top() + (y + 0.5) * ch);
            }
        }
        QPainterPath path(points.front());
        for (size_t i = 1; i < points.size(); ++i)
            path.lineTo(points[i]);
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        p.drawPath(path);
        p.setBrush(palette().color(QPalette::Highlight));
        p.drawEllipse(points.front(), 3, 3);
    }

private:
    int m_origin = 0;
    int m_direction = 0;
    int m_snake = 0;
};

CQuiltmarkLayoutDlg::CQuiltmarkLayoutDlg(QWidget* parent)
    : QWizardPage(parent)
{
    setObjectName("layoutPage");
    setTitle(tr("Addressing Layout"));

    auto* addressBox = new QGroupBox(tr("Base Address"), this);
    auto* addressForm = new QFormLayout(addressBox);
    const auto makeSpin = [this](const char* name) {
        auto* spin = new CClampedSpinBox(this);
        spin->setObjectName(name);
        spin->SetArrowRange(1, 512);
        return spin;
    };
    m_universe = makeSpin("baseUniverse");
    m_first = makeSpin("firstAddress");
    m_highest = makeSpin("highestAddress");
    addressForm->addRow(tr("Base &Universe"), m_universe);
    addressForm->addRow(tr("&Start Address On First Universe"), m_first);
    addressForm->addRow(tr("&Highest Allowed DMX Address In Each Universe"), m_highest);

    auto* layoutBox = new QGroupBox(tr("Layout"), this);
    auto* layoutGrid = new QGridLayout(layoutBox);
    layoutGrid->addWidget(
        new QLabel(tr("Enter the origin where DMX addressing should start:"), layoutBox), 0, 0, 1,
        3);
    const char* originTexts[4] = { "&Top Left", "Top &Right", "&Bottom Left", "B&ottom Right" };
    const char* originNames[4]
        = { "originTopLeft", "originTopRight", "originBottomLeft", "originBottomRight" };
    for (int i = 0; i < 4; ++i) {
        m_origin[i] = new QRadioButton(tr(originTexts[i]), layoutBox);
        m_origin[i]->setObjectName(originNames[i]);
        connect(m_origin[i], &QRadioButton::toggled, this, [this] { ReadControls(); });
    }
    auto* matrixBox = new QGroupBox(tr("Matrix"), layoutBox);
    auto* matrixLayout = new QVBoxLayout(matrixBox);
    m_preview = new CMatrixPreview(matrixBox);
    matrixLayout->addWidget(m_preview);
    layoutGrid->addWidget(m_origin[0], 1, 0, Qt::AlignLeft | Qt::AlignTop);
    layoutGrid->addWidget(m_origin[1], 1, 2, Qt::AlignRight | Qt::AlignTop);
    layoutGrid->addWidget(matrixBox, 2, 1);
    layoutGrid->addWidget(m_origin[2], 3, 0, Qt::AlignLeft | Qt::AlignBottom);
    layoutGrid->addWidget(m_origin[3], 3, 2, Qt::AlignRight | Qt::AlignBottom);

    m_direction = new QComboBox(layoutBox);
    m_direction->setObjectName("primaryDirection");
    m_direction->addItems({ tr("Horizontal"), tr("Vertical") });
    auto* directionLabel = new QLabel(tr("&Primary Addressing Direction"), layoutBox);
    directionLabel->setBuddy(m_direction);
    layoutGrid->addWidget(directionLabel, 4, 0, 1, 2);
    layoutGrid->addWidget(m_direction, 4, 2);
    m_snake = new QCheckBox(
        tr("Snake Mode: &Invert addressing direction for every second line."), layoutBox);
    m_snake->setObjectName("snakeMode");
    layoutGrid->addWidget(m_snake, 5, 0, 1, 3);
    connect(m_direction, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this] { ReadControls(); });
    connect(m_snake, &QCheckBox::toggled, this, [this] { ReadControls(); });

    auto* page = new QVBoxLayout(this);
    page->addWidget(addressBox);
    page->addWidget(layoutBox);
    LoadControls();
}

int CQuiltmarkLayoutDlg::ClampAddress(int value)
{
    return std::clamp(value, 1, 512);
}

void CQuiltmarkLayoutDlg::LoadControls()
{
    m_universe->setValue(baseUniverse);
    m_first->setValue(firstAddress);
    m_highest->setValue(highestAddress);
    const QSignalBlocker b0(m_origin[0]), b1(m_origin[1]), b2(m_origin[2]), b3(m_origin[3]);
    for (int i = 0; i < 4; ++i)
        m_origin[i]->setChecked(i == (origin & 3));
    const QSignalBlocker bd(m_direction), bs(m_snake);
    m_direction->setCurrentIndex(direction ? 1 : 0);
    m_snake->setChecked(snake != 0);
    UpdatePreview();
}

void CQuiltmarkLayoutDlg::ReadControls()
{
    m_universe->interpretText();
    m_first->interpretText();
    m_highest->interpretText();
    baseUniverse = ClampAddress(m_universe->value());
    firstAddress = ClampAddress(m_first->value());
    highestAddress = ClampAddress(m_highest->value());
    m_universe->setValue(baseUniverse);
    m_first->setValue(firstAddress);
    m_highest->setValue(highestAddress);
    for (int i = 0; i < 4; ++i) {
        if (m_origin[i]->isChecked())
            origin = i;
    }
    direction = m_direction->currentIndex() == 1 ? 1 : 0;
    snake = m_snake->isChecked() ? 1 : 0;
    UpdatePreview();
}

void CQuiltmarkLayoutDlg::UpdatePreview()
{
    m_preview->SetLayout(origin, direction, snake);
}

void CQuiltmarkLayoutDlg::initializePage()
{
    LoadControls();
    // Alone in its sheet there is nowhere to go back to: Finish only.
    if (QWizard* sheet = wizard(); sheet && !showBack)
        sheet->setButtonLayout({ QWizard::Stretch, QWizard::FinishButton, QWizard::CancelButton });
}

bool CQuiltmarkLayoutDlg::validatePage()
{
    ReadControls();
    return true;
}
