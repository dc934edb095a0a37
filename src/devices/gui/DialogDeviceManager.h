#pragma once

#include <QDialog>
#include <QIcon>

class CKelvraDevice;
class CKelvraDeviceList;
class CKelvraDevicePortDmx;
class CQuiltmarkDoc;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Edits the project's output devices in place: a tree of devices and their DMX ports,
// buttons to add, edit, remove and reorder devices, and the two bulk connect operations.
// There is no undo; every change goes straight to the document's device list and the tree
// is rebuilt from it. Selection and expansion live in the devices' own flags, so they
// survive rebuilds and reopening the dialog.
class CDialogDeviceManager : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Device-Manager";
    static constexpr const char* kRootText = "DMX Outputs";
    static constexpr const char* kAddTitle = "Add New Device";
    static constexpr const char* kEditTitle = "Edit Device";
    static constexpr const char* kPortTitle = "Edit DMX-Port->Universe";
    static constexpr const char* kCreateTitle = "Add & Connect New Devices to available Universes";

    // Rebuilds the document's used-universe set, which the port dialog and the connect
    // operations read while the dialog is open.
    explicit CDialogDeviceManager(CQuiltmarkDoc& doc, QWidget* parent = nullptr);

    // Tree labels, shared with anything else that lists devices.
    static QString DeviceText(const CKelvraDevice& device);
    static QString PortText(const CKelvraDevicePortDmx& port, int portIndex);

    QTreeWidget* Tree() const { return m_tree; }

public slots:
    void OnMoveUp();
    void OnMoveDown();
    void OnAdd();
    void OnEdit();
    void OnRemove();
    void OnAutoConnect();
    void OnCreateAndConnect();

private:
    enum class ItemKind { Root, Device, Port };

    void BuildTree();
    void OnSelectionChanged();
    void OnExpansionChanged(QTreeWidgetItem* item, bool expanded);
    QTreeWidgetItem* SelectedItem() const;
    // The device of the selected item when that item is a device; nothing otherwise.
    CKelvraDevice* SelectedDevice() const;
    static ItemKind KindOf(const QTreeWidgetItem* item);
    static CKelvraDevice* DeviceOf(const QTreeWidgetItem* item);
    static CKelvraDevicePortDmx* PortOf(const QTreeWidgetItem* item);
    static void SetObjectSelected(const QTreeWidgetItem* item, bool selected);

    CQuiltmarkDoc& m_doc;
    CKelvraDeviceList& m_devices;
    QTreeWidget* m_tree = nullptr;
    QIcon m_rootIcon;
    QIcon m_deviceIcon;
    QIcon m_portIcon;
    // The item whose object carries the selected flag, to clear it when the selection moves.
    QTreeWidgetItem* m_selected = nullptr;
    bool m_building = false;
};
