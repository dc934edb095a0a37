#include "view/QuiltmarkView.h"

#include "app/library/FixtureType.h"
#include "app/base/UserMessages.h"
#include "document/GoTo.h"
#include "document/QuiltmarkDoc.h"
#include "document/TileDetails.h"
#include "shell/toolkit/ModelText.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QToolTip>
#include <algorithm>
#include <chrono>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

// The view's pictures live in a static library; make sure they are linked in.
static void InitViewResources()
{
    Q_INIT_RESOURCE(view);
}

namespace {

QPixmap LoadEmptyPicture()
{
    InitViewResources();
    QSvgRenderer svg(QStringLiteral(":/images/empty-view.svg"));
    if (!svg.isValid())
        return QPixmap();
    QPixmap pixmap(svg.defaultSize());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    svg.render(&painter);
    return pixmap;
}

} // namespace

CQuiltmarkView::CQuiltmarkView(CQuiltmarkDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_doc(doc)
    , m_emptyPicture(LoadEmptyPicture())
{
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setObjectName(QStringLiteral("quiltmarkView"));
    BindCommands();
}

CQuiltmarkView::~CQuiltmarkView()
{
    // A worker may still be copying its result; it must not outlive the view.
    if (m_build.valid())
        m_build.wait();
    // Tearing down the widgets sends events; a filter must not take them for this view's.
    emit destroying();
}

void CQuiltmarkView::AddInputFilter(QObject* filter)
{
    viewport()->installEventFilter(filter);
    installEventFilter(filter);
    connect(this, &CQuiltmarkView::destroying, filter, [this, filter] {
        viewport()->removeEventFilter(filter);
        removeEventFilter(filter);
    });
}

void CQuiltmarkView::AddCommandHandler(ICommandTarget* handler)
{
    if (handler && std::find(m_handlers.begin(), m_handlers.end(), handler) == m_handlers.end())
        m_handlers.push_back(handler);
}

void CQuiltmarkView::RemoveCommandHandler(ICommandTarget* handler)
{
    m_handlers.erase(std::remove(m_handlers.begin(), m_handlers.end(), handler), m_handlers.end());
}

void CQuiltmarkView::BindCommands()
{
    using C = CommandId;
    Bind(C::ViewZoomIn, [this] { ZoomIn(); });
    Bind(C::ViewZoomOut, [this] { ZoomOut(); });
    const auto zoomMode = [this](C id, ZoomMode mode) {
        BindChecked(
            id, [this, mode] { SetZoomMode(mode); }, [this, mode] { return m_zoomMode == mode; });
    };
    zoomMode(C::ViewZoomManual, ZoomMode::Manual);
    zoomMode(C::ViewZoomPage, ZoomMode::Page);
    zoomMode(C::ViewZoomPageWidth, ZoomMode::PageWidth);
    zoomMode(C::ViewZoomPageHeight, ZoomMode::PageHeight);
    const auto connections = [this](C id, ConnectionMode mode) {
        BindChecked(
            id, [this, mode] { SetConnectionMode(mode); },
            [this, mode] { return m_connectionMode == mode; });
    };
    connections(C::ViewShowAllConnections, ConnectionMode::All);
    connections(C::ViewShowActiveConnections, ConnectionMode::ActiveUniverse);
    connections(C::ViewHideConnections, ConnectionMode::Hidden);
    const auto order = [this](C id, ConnectionOrder value) {
        BindChecked(
            id, [this, value] { SetConnectionOrder(value); },
            [this, value] { return m_connectionOrder == value; });
    };
    order(C::ViewSortByPosition, ConnectionOrder::ByPosition);
    order(C::ViewSortByAddress, ConnectionOrder::ByAddress);
    BindChecked(
        C::ViewShowSwitches, [this] { SetShowSwitches(!m_showSwitches); },
        [this] { return m_showSwitches; });
    BindChecked(
        C::ViewRearView, [this] { SetRearView(!m_rear); }, [this] { return m_rear; });
    Bind(
        C::EditGoTo, [this] { OnGoTo(); },
        [this] {
            CCommandState state;
            state.enabled = !m_dragging;
            return state;
        });
}

bool CQuiltmarkView::OnCommand(CommandId id)
{
    for (ICommandTarget* h : m_handlers) {
        if (h->OnCommand(id))
            return true;
    }
    return CCommandBindings::OnCommand(id);
}

bool CQuiltmarkView::OnUpdateCommand(CommandId id, CCommandState& state)
{
    for (ICommandTarget* h : m_handlers) {
        if (h->OnUpdateCommand(id, state))
            return true;
    }
    return CCommandBindings::OnUpdateCommand(id, state);
}

void CQuiltmarkView::OnInitialUpdate()
{
    m_focusColumn = 0;
    m_focusRow = 0;
    m_dragging = false;
    // The view takes the keyboard, so the keypad zoom keys work without a click first.
    setFocus(Qt::OtherFocusReason);
    UpdateScrollBars(QSize(256, 256));
    emit sectionsReset();
    Redraw();
}

void CQuiltmarkView::Redraw()
{
    ++m_generation;
    viewport()->update();
}

void CQuiltmarkView::Repaint()
{
    viewport()->update();
}

void CQuiltmarkView::WaitForConnections()
{
    while (m_build.valid()) {
        m_build.wait();
        TakeBuiltChains();
        // A build that was overtaken by an edit is followed by the current one.
        if (const CSubDoc* section = m_doc.GetCurrentSection();
            section && m_connectionMode != ConnectionMode::Hidden && section->GetTileCount() > 0)
            Chains(*section);
    }
}

CLayoutInput CQuiltmarkView::MakeLayoutInput(const CSubDoc& section) const
{
    CLayoutInput in;
    in.tileColumns = section.GetTileColumns();
    in.tileRows = section.GetTileRows();
    in.itemsAcross = in.tileColumns > 0 ? section.GetItemColumns() / in.tileColumns : 1;
    in.itemsDown = in.tileRows > 0 ? section.GetItemRows() / in.tileRows : 1;
    in.legend = m_connectionMode != ConnectionMode::Hidden;
    in.universes = section.GetUniverseCount();
    in.client = viewport()->size();
    in.mode = m_zoomMode;
    in.zoom = m_zoom;
    in.rear = m_rear;
    return in;
}

const CViewLayout& CQuiltmarkView::RecomputeLayout()
{
    const CSubDoc* section = m_doc.GetCurrentSection();
    if (!section) {
        m_layout = CViewLayout();
        return m_layout;
    }
    m_layout = ComputeLayout(MakeLayoutInput(*section));
    // The fitted zoom is kept so that switching to Manual stays where the fit was.
    m_zoom = m_layout.zoom;
    return m_layout;
}

QPoint CQuiltmarkView::ScrollPosition() const
{
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

bool CQuiltmarkView::HitTest(QPoint client, int& column, int& row) const
{
    return m_layout.HitTest(client + ScrollPosition(), column, row);
}

CSectionPaintState CQuiltmarkView::MakePaintState() const
{
    CSectionPaintState s;
    s.showSwitches = m_showSwitches;
    s.connectionMode = m_connectionMode;
    s.connectionOrder = m_connectionOrder;
    s.tileMode = m_tileMode;
    s.focusColumn = m_focusColumn;
    s.focusRow = m_focusRow;
    s.dragging = m_dragging;
    return s;
}

const CConnectionChains* CQuiltmarkView::CurrentChains() const
{
    const CSubDoc* section = m_doc.GetCurrentSection();
    return section && m_haveChains && m_chainsKey == ChainsKeyOf(*section) ? &m_chains : nullptr;
}

CQuiltmarkView::CChainsKey CQuiltmarkView::ChainsKeyOf(const CSubDoc& section) const
{
    CChainsKey key;
    key.section = &section;
    key.tiles = section.Tiles().data();
    key.tileCount = section.GetTileCount();
    key.columns = section.GetTileColumns();
    key.highestAddress = section.setup.addr_count;
    key.order = m_connectionOrder;
    key.generation = m_generation;
    return key;
}

const CConnectionChains* CQuiltmarkView::Chains(const CSubDoc& section)
{
    // Sections up to this many tiles build their chains within a few milliseconds.
    constexpr int kBuildAsideFrom = 1 << 19;
    if (m_build.valid() && m_build.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        TakeBuiltChains();
    const CChainsKey key = ChainsKeyOf(section);
    if (m_haveChains && m_chainsKey == key)
        return &m_chains;
    if (section.GetTileCount() < kBuildAsideFrom) {
        if (m_build.valid()) {
            m_build.wait();
            TakeBuiltChains();
        }
        m_chains = BuildConnectionChains(section, m_connectionOrder);
        m_chainsKey = key;
        m_haveChains = true;
        m_snapshot = CChainGrid(); // a large section's copy is not needed
        return &m_chains;
    }
    // One build at a time; one that is overtaken is followed by a new one when it ends.
    if (!m_build.valid())
        StartChainBuild(section, key);
    return m_haveChains && m_chainsKey.SameShape(key) ? &m_chains : nullptr;
}

void CQuiltmarkView::StartChainBuild(const CSubDoc& section, const CChainsKey& key)
{
    m_buildKey = key;
    // The worker reads its own copy of what the chains need: the tiles may be edited while
    // it runs. The copy's memory is kept for the next build, since fresh pages cost more
    // than the copying.
    CopyChainGrid(m_snapshot, section.Tiles(), section.GetTileColumns(), section.GetTileRows(),
        section.setup.addr_count, m_connectionOrder);
    m_build = std::async(std::launch::async, [this]() {
#ifdef __linux__
        // The window's thread comes first when the cores are busy.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
#endif
        CConnectionChains chains = BuildConnectionChains(m_snapshot);
        QMetaObject::invokeMethod(
            this,
            [this] {
                TakeBuiltChains();
                viewport()->update();
            },
            Qt::QueuedConnection);
        return chains;
    });
}

void CQuiltmarkView::TakeBuiltChains()
{
    // Never waits: the notice of an earlier build may arrive while a later one still runs.
    if (!m_build.valid() || m_build.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_chains = m_build.get();
    m_chainsKey = m_buildKey;
    m_haveChains = true;
}

void CQuiltmarkView::RenderTo(QPainter& painter, const QRect& area)
{
    RecomputeLayout();
    painter.fillRect(area, ViewColours::Background);
    const CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return;
    if (section->GetTileCount() < 1 && !m_emptyPicture.isNull()) {
        const int top = std::max(viewport()->height() - m_emptyPicture.height(), 0);
        painter.drawPixmap(0, top, m_emptyPicture);
    }
    const CViewLayout shifted = m_layout.Shifted(ScrollPosition());
    const CSectionPaintState state = MakePaintState();
    CSectionPainter sectionPainter(
        m_doc, *section, m_doc.GetCurrentSectionIndex() + 1, shifted, state);
    const CConnectionChains* chains
        = m_connectionMode != ConnectionMode::Hidden && section->GetTileCount() > 0
        ? Chains(*section)
        : nullptr;
    sectionPainter.PaintAll(painter, area, chains);
}

void CQuiltmarkView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    RenderTo(painter, event->rect());
    painter.end();
    UpdateScrollBars(m_layout.total);
}

void CQuiltmarkView::UpdateScrollBars(QSize total)
{
    const QSize client = viewport()->size();
    const QSize scrolling = total.expandedTo(client);
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
    horizontalScrollBar()->setSingleStep(std::max(client.width() / 20, 1));
    verticalScrollBar()->setSingleStep(std::max(client.height() / 20, 1));
    horizontalScrollBar()->setRange(0, scrolling.width() - client.width());
    verticalScrollBar()->setRange(0, scrolling.height() - client.height());
}

void CQuiltmarkView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    RecomputeLayout();
    UpdateScrollBars(m_layout.total);
}

void CQuiltmarkView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CQuiltmarkView::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Plus) {
            ZoomIn();
            return;
        }
        if (event->key() == Qt::Key_Minus) {
            ZoomOut();
            return;
        }
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CQuiltmarkView::SetZoom(int percent)
{
    m_zoom = std::clamp(percent, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
    m_zoomMode = ZoomMode::Manual;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetZoomMode(ZoomMode mode)
{
    m_zoomMode = mode;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::ZoomIn()
{
    m_zoom = ZoomInStep(m_zoom);
    m_zoomMode = ZoomMode::Manual;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::ZoomOut()
{
    const std::optional<int> zoom = ZoomOutStep(m_zoom, m_layout.tile);
    if (!zoom)
        return;
    m_zoom = *zoom;
    m_zoomMode = ZoomMode::Manual;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetShowSwitches(bool show)
{
    m_showSwitches = show;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetConnectionMode(ConnectionMode mode)
{
    m_connectionMode = mode;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetConnectionOrder(ConnectionOrder order)
{
    m_connectionOrder = order;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetRearView(bool rear)
{
    m_rear = rear;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetTileMode(TileMode mode)
{
    m_tileMode = mode;
    Repaint();
    emit modesChanged();
}

void CQuiltmarkView::SetFocusCell(int column, int row)
{
    m_focusColumn = column;
    m_focusRow = row;
    viewport()->update();
}

void CQuiltmarkView::SetDragging(bool dragging)
{
    m_dragging = dragging;
    viewport()->update();
}

QString CQuiltmarkView::StatusText(int column, int row) const
{
    QString text = QStringLiteral("POS: ")
        + QString::fromStdString(CQuiltmarkDoc::ColumnLetters(column))
        + QString::asprintf("%d ", row + 1);
    const CSubDoc* section = m_doc.GetCurrentSection();
    const CTileRecord* tile = section ? section->GetTile(column, row) : nullptr;
    if (!tile || tile->excluded)
        return text;
    if (tile->universe < 0 || tile->address < 0)
        return text + QStringLiteral("  WARNING! Undefined Item!");
    // Stored values may be any int: the last channel is formed in 64 bits too.
    return text + QStringLiteral("    DMX: ") + AddressLabel(tile->universe, tile->address)
        + QString::asprintf(
            " ... %lld", static_cast<long long>(tile->address) + section->ChannelsPerFixture());
}

void CQuiltmarkView::ShowStatus(int column, int row)
{
    emit statusTextChanged(StatusText(column, row));
}

QString CQuiltmarkView::ToolTipText(int column, int row) const
{
    const CSubDoc* section = m_doc.GetCurrentSection();
    if (!section)
        return QString();
    const CTileDetails d = GetTileDetails(m_doc, *section, column, row);
    if (!d.exists)
        return QString();
    const QChar dash(0x2013);
    QStringList lines;
    QString head = QString::fromStdString(d.tileName);
    if (!d.fixtureName.empty())
        head += QStringLiteral("  ") + FromModelText(d.fixtureName);
    lines << head;
    if (d.excluded) {
        lines << QStringLiteral("No fixture here");
        return lines.join(QLatin1Char('\n'));
    }
    if (d.undefined) {
        lines << QStringLiteral("DMX: Undefined");
    } else {
        // A footprint that runs past the end of its universe names the universe it ends in.
        const long long first = static_cast<long long>(d.universe) * 512 + d.address;
        const long long last = first + std::max(d.channels, 1) - 1;
        const auto channelText = [first](long long key) {
            return key / 512 == first / 512
                ? QString::number(key % 512 + 1)
                : AddressLabel(static_cast<int>(key / 512), static_cast<int>(key % 512));
        };
        lines << QStringLiteral("DMX: ") + AddressLabel(d.universe, d.address) + dash
                + channelText(last);
        if (d.device >= 0)
            lines << QStringLiteral("Fed by: ") + FromModelText(d.deviceName)
                    + QStringLiteral(", port %1").arg(d.port + 1);
        else
            lines << QStringLiteral("Fed by: not connected");
        if (d.conflictFirst >= 0) {
            const auto key = [](long long k) {
                return AddressLabel(static_cast<int>(k / 512), static_cast<int>(k % 512));
            };
            QString range = key(d.conflictFirst);
            if (d.conflictLast != d.conflictFirst)
                range += dash
                    + (d.conflictLast / 512 == d.conflictFirst / 512
                            ? QString::number(d.conflictLast % 512 + 1)
                            : key(d.conflictLast));
            lines << QStringLiteral("Conflict: ") + range
                    + QStringLiteral(" also used by another tile");
        }
    }
    if (d.hasScreenIds)
        lines << QStringLiteral("Screen ids: %1").arg(d.firstScreenId)
                + (d.lastScreenId != d.firstScreenId ? dash + QString::number(d.lastScreenId)
                                                     : QString());
    return lines.join(QLatin1Char('\n'));
}

bool CQuiltmarkView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        int column = 0;
        int row = 0;
        const QString text = !m_dragging && HitTest(help->pos(), column, row)
            ? ToolTipText(column, row)
            : QString();
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // The tip belongs to the tile: it goes as soon as the pointer leaves it.
            QToolTip::showText(help->globalPos(), text, viewport(),
                m_layout.Shifted(ScrollPosition()).TileRect(column, row));
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CQuiltmarkView::OnGoTo()
{
    if (!m_goToPrompt)
        m_goToPrompt = DefaultTextPrompt(this);
    QString text = m_lastGoTo;
    if (!m_goToPrompt(
            QStringLiteral("Go To"), QStringLiteral("Tile, DMX address or screen id:"), 40, text))
        return;
    m_lastGoTo = text;
    const std::optional<CGoToTarget> target = ParseGoTo(text.toStdString());
    if (!target) {
        m_doc.Messages().ShowMessage(kGoToNotUnderstood, MessageIcon::Warning);
        return;
    }
    const std::optional<CTileLocation> at = FindGoTo(m_doc, *target);
    if (!at) {
        std::string message;
        switch (target->kind) {
        case CGoToTarget::Kind::Tile:
            if (target->section < 0)
                message = "There is no tile " + GoToTargetText(*target) + " in this section.";
            else if (target->section >= m_doc.GetSectionCount())
                message = "There is no section S" + std::to_string(target->section + 1) + ".";
            else
                message = "There is no tile " + GoToTargetText(*target) + ".";
            break;
        case CGoToTarget::Kind::Address:
            message = "No tile is patched on " + GoToTargetText(*target) + ".";
            break;
        case CGoToTarget::Kind::ScreenId:
            message = "No tile has the " + GoToTargetText(*target) + ".";
            break;
        }
        m_doc.Messages().ShowMessage(message, MessageIcon::Information);
        return;
    }
    GoToTile(at->section, at->column, at->row);
}

bool CQuiltmarkView::GoToTile(int sectionIndex, int column, int row)
{
    CSubDoc* section = m_doc.GetSection(sectionIndex);
    if (!section || !section->GetTile(column, row))
        return false;
    if (sectionIndex != m_doc.GetCurrentSectionIndex()) {
        m_doc.SetCurrentSection(sectionIndex);
        // The sections bar selects the tab of the new current section.
        emit sectionsReset();
    }
    section->SelectAll(false);
    section->GetTile(column, row)->selected = 1;
    m_focusColumn = column;
    m_focusRow = row;
    RecomputeLayout();
    // A tile of a few pixels cannot be seen once found: zoom in until it can.
    constexpr int kVisibleTile = 24;
    const int smaller = std::min(m_layout.tile.width(), m_layout.tile.height());
    if (smaller > 0 && smaller < kVisibleTile) {
        SetZoom(static_cast<int>(
            std::min<long long>(static_cast<long long>(m_zoom) * kVisibleTile / smaller + 1,
                kZoomSteps[std::size(kZoomSteps) - 1])));
        RecomputeLayout();
    }
    UpdateScrollBars(m_layout.total);
    const QPoint centre = m_layout.TileRect(column, row).center();
    horizontalScrollBar()->setValue(centre.x() - viewport()->width() / 2);
    verticalScrollBar()->setValue(centre.y() - viewport()->height() / 2);
    ShowStatus(column, row);
    Redraw();
    return true;
}
