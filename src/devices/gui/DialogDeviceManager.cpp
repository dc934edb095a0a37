#include "devices/gui/DialogDeviceManager.h"

#include "devices/KelvraDeviceList.h"
#include "devices/gui/DeviceIcons.h"
#include "devices/gui/DialogDeviceDmxEdit.h"
#include "devices/gui/DialogDeviceEdit.h"
#include "document/QuiltmarkDoc.h"
#include "shell/toolkit/ModelText.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kDeviceRole = Qt::UserRole + 1;
constexpr int kPortRole = Qt::UserRole + 2;

QPushButton* MakeButton(const char* text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CDialogDeviceManager::CDialogDeviceManager(CQuiltmarkDoc& doc, QWidget* parent)
    : QDialog(parent)
    , m_doc(doc)
    , m_devices(doc.GetDevices())
    , m_rootIcon(DeviceRootIcon())
    , m_deviceIcon(DeviceNodeIcon())
    , m_portIcon(DevicePortIcon())
{
    auto* frame = new QGroupBox(tr("Output Devices"), this);
    m_tree = new QTreeWidget(frame);
    m_tree->setObjectName(QStringLiteral("deviceTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Double click means Edit here; it must not also fold the item.
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setMinimumSize(380, 280);

    QPushButton* moveUp = MakeButton("Move Up", "moveUpButton", frame);
    QPushButton* moveDown = MakeButton("Move Down", "moveDownButton", frame);
    QPushButton* add = MakeButton("Add", "addButton", frame);
    QPushButton* edit = MakeButton("Edit", "editButton", frame);
    QPushButton* remove = MakeButton("Remove", "removeButton", frame);
    QPushButton* autoConnect = MakeButton("DMX-Auto-Connect", "autoConnectButton", frame);
    QPushButton* create
        = MakeButton("Create Devices and DMX-Auto-Connect", "createConnectButton", frame);
    QPushButton* close = MakeButton("Close", "closeButton", this);
    close->setAutoDefault(true);
    close->setDefault(true);

    auto* editRow = new QHBoxLayout;
    for (QPushButton* b : { moveUp, moveDown, add, edit, remove })
        editRow->addWidget(b);
    auto* connectRow = new QHBoxLayout;
    connectRow->addWidget(autoConnect);
    connectRow->addWidget(create);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_tree, 1);
    frameLayout->addLayout(editRow);
    frameLayout->addLayout(connectRow);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addLayout(closeRow);

    connect(moveUp, &QPushButton::clicked, this, &CDialogDeviceManager::OnMoveUp);
    connect(moveDown, &QPushButton::clicked, this, &CDialogDeviceManager::OnMoveDown);
    connect(add, &QPushButton::clicked, this, &CDialogDeviceManager::OnAdd);
    connect(edit, &QPushButton::clicked, this, &CDialogDeviceManager::OnEdit);
    connect(remove, &QPushButton::clicked, this, &CDialogDeviceManager::OnRemove);
    connect(autoConnect, &QPushButton::clicked, this, &CDialogDeviceManager::OnAutoConnect);
    connect(create, &QPushButton::clicked, this, &CDialogDeviceManager::OnCreateAndConnect);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this,
        &CDialogDeviceManager::OnSelectionChanged);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
        [this](QTreeWidgetItem* item) { OnExpansionChanged(item, true); });
    connect(m_tree, &QTreeWidget::itemCollapsed, this,
        [this](QTreeWidgetItem* item) { OnExpansionChanged(item, false); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnEdit(); });

    BuildTree();
    setWindowTitle(tr(kTitle));
    m_tree->setFocus();
}

QString CDialogDeviceManager::DeviceText(const CKelvraDevice& device)
{
    return FromModelText(device.GetName()) + QStringLiteral("  ::  ")
        + FromModelText(device.GetIpAddressText());
}

QString CDialogDeviceManager::PortText(const CKelvraDevicePortDmx& port, int portIndex)
{
    if (port.GetUniverse() < 0)
        return QString::asprintf("DMX %.1d:", portIndex + 1);
    return QString::asprintf(
        "DMX %.1d: U%.2lld", portIndex + 1, static_cast<long long>(port.GetUniverse()) + 1);
}

void CDialogDeviceManager::BuildTree()
{
    m_building = true;
    m_tree->clear();
    m_selected = nullptr;

    auto* root = new QTreeWidgetItem(m_tree, QStringList(tr(kRootText)));
    root->setIcon(0, m_rootIcon);
    root->setData(0, kKindRole, static_cast<int>(ItemKind::Root));

    QTreeWidgetItem* toSelect = nullptr;
    std::vector<QTreeWidgetItem*> toExpand;
    // Only one item can be selected; any further flag would come back on the next rebuild
    // without being visible, so the first one wins and the others are cleared.
    auto claimSelection = [&toSelect](QTreeWidgetItem* item, bool& flag) {
        if (!flag)
            return;
        if (toSelect)
            flag = false;
        else
            toSelect = item;
    };

    for (int i = 0; i < m_devices.GetDeviceCount(); ++i) {
        CKelvraDevice* device = m_devices.GetDevice(i);
        auto* deviceItem = new QTreeWidgetItem(root, QStringList(DeviceText(*device)));
        deviceItem->setIcon(0, m_deviceIcon);
        deviceItem->setData(0, kKindRole, static_cast<int>(ItemKind::Device));
        deviceItem->setData(
            0, kDeviceRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(device)));
        claimSelection(deviceItem, device->selected);
        for (int p = 0; p < device->GetPortCount(); ++p) {
            CKelvraDevicePortDmx* port = device->GetPort(p);
            auto* portItem = new QTreeWidgetItem(deviceItem, QStringList(PortText(*port, p)));
            portItem->setIcon(0, m_portIcon);
            portItem->setData(0, kKindRole, static_cast<int>(ItemKind::Port));
            portItem->setData(0, kDeviceRole, deviceItem->data(0, kDeviceRole));
            portItem->setData(0, kPortRole, p);
            claimSelection(portItem, port->selected);
        }
        if (device->expanded)
            toExpand.push_back(deviceItem);
    }

    root->setExpanded(true);
    for (QTreeWidgetItem* item : toExpand)
        item->setExpanded(true);
    if (toSelect) {
        m_tree->setCurrentItem(toSelect);
        m_tree->scrollToItem(toSelect);
    } else {
        m_tree->setCurrentItem(nullptr);
        m_tree->clearSelection();
    }
    m_selected = toSelect;
    m_building = false;
}

void CDialogDeviceManager::OnSelectionChanged()
{
    if (m_building)
        return;
    QTreeWidgetItem* item = SelectedItem();
    if (item == m_selected)
        return;
    if (m_selected)
        SetObjectSelected(m_selected, false);
    if (item)
        SetObjectSelected(item, true);
    m_selected = item;
}

void CDialogDeviceManager::OnExpansionChanged(QTreeWidgetItem* item, bool expanded)
{
    if (m_building || KindOf(item) != ItemKind::Device)
        return;
    if (CKelvraDevice* device = DeviceOf(item))
        device->expanded = expanded;
}

QTreeWidgetItem* CDialogDeviceManager::SelectedItem() const
{
    const QList<QTreeWidgetItem*> items = m_tree->selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

CKelvraDevice* CDialogDeviceManager::SelectedDevice() const
{
    QTreeWidgetItem* item = SelectedItem();
    return item && KindOf(item) == ItemKind::Device ? DeviceOf(item) : nullptr;
}

CDialogDeviceManager::ItemKind CDialogDeviceManager::KindOf(const QTreeWidgetItem* item)
{
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

CKelvraDevice* CDialogDeviceManager::DeviceOf(const QTreeWidgetItem* item)
{
    return reinterpret_cast<CKelvraDevice*>(item->data(0, kDeviceRole).value<quintptr>());
}

CKelvraDevicePortDmx* CDialogDeviceManager::PortOf(const QTreeWidgetItem* item)
{
    CKelvraDevice* device = DeviceOf(item);
    // Looked up by index: a type change may have dropped the port since the tree was built.
    return device ? device->GetPort(item->data(0, kPortRole).toInt()) : nullptr;
}

void CDialogDeviceManager::SetObjectSelected(const QTreeWidgetItem* item, bool selected)
{
    switch (KindOf(item)) {
    case ItemKind::Device:
        if (CKelvraDevice* device = DeviceOf(item))
            device->selected = selected;
        break;
    case ItemKind::Port:
        if (CKelvraDevicePortDmx* port = PortOf(item))
            port->selected = selected;
        break;
    case ItemKind::Root:
        break;
    }
}

void CDialogDeviceManager::OnMoveUp()
{
    CKelvraDevice* device = SelectedDevice();
    if (!device || device->GetListIndex() <= 0)
        return;
    m_devices.SwapDevices(device->GetListIndex(), device->GetListIndex() - 1);
    BuildTree();
}

void CDialogDeviceManager::OnMoveDown()
{
    CKelvraDevice* device = SelectedDevice();
    if (!device || device->GetListIndex() < 0
        || device->GetListIndex() >= m_devices.GetDeviceCount() - 1)
        return;
    m_devices.SwapDevices(device->GetListIndex(), device->GetListIndex() + 1);
    BuildTree();
}

void CDialogDeviceManager::OnAdd()
{
    CKelvraDevice templ;
    templ.SetType(0, m_devices.GetNextFreeIpAddress());
    CDialogDeviceEdit dialog(templ, CDialogDeviceEdit::Add, tr(kAddTitle), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_devices.AddDevices(templ, dialog.GetNumber());
    BuildTree();
}

void CDialogDeviceManager::OnEdit()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    if (KindOf(item) == ItemKind::Device) {
        CKelvraDevice* device = DeviceOf(item);
        CDialogDeviceEdit dialog(*device, CDialogDeviceEdit::Edit, tr(kEditTitle), this);
        if (dialog.exec() == QDialog::Accepted)
            BuildTree();
    } else if (KindOf(item) == ItemKind::Port) {
        CKelvraDevice* device = DeviceOf(item);
        const int portIndex = item->data(0, kPortRole).toInt();
        CKelvraDevicePortDmx* port = PortOf(item);
        if (!port)
            return;
        CDialogDeviceDmxEdit dialog(m_doc, port->GetUniverse(), tr(kPortTitle), this);
        if (dialog.exec() == QDialog::Accepted) {
            device->SetPortUniverse(portIndex, dialog.GetUniverse());
            BuildTree();
        }
    }
}

void CDialogDeviceManager::OnRemove()
{
    CKelvraDevice* device = SelectedDevice();
    if (!device)
        return;
    const int position = device->GetListIndex();
    // The item still points at the device that is about to go.
    m_selected = nullptr;
    m_devices.RemoveDevice(position);
    BuildTree();
}

void CDialogDeviceManager::OnAutoConnect()
{
    m_devices.AutoConnect(m_doc, m_doc.Messages());
    BuildTree();
}

void CDialogDeviceManager::OnCreateAndConnect()
{
    CKelvraDevice templ;
    templ.SetType(0, m_devices.GetNextFreeIpAddress());
    CDialogDeviceEdit dialog(templ, CDialogDeviceEdit::AddAndConnect, tr(kCreateTitle), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The old devices go; no item may keep pointing at them while the list is refilled.
    m_building = true;
    m_tree->clear();
    m_selected = nullptr;
    m_building = false;
    m_devices.CreateDevicesAndConnect(templ, m_doc, m_doc.Messages());
    BuildTree();
}
