#pragma once
// The serial-port table: the user picks a port by number (comPort), the table says which
// device that number is. On Windows number n is COMn. On Linux:
//   1 ... 100     ttyS0 ... ttyS99 (like COM1 ... COM100)
//   101 ...       other ports the system reports (ttyUSB, ttyACM, ...), keyed by their USB
//                 identity (vendor id, product id, serial number), so an adapter that comes
//                 back under another device name keeps its number
//   1001 ...      device paths the user typed (a simulator's pseudo-terminal, a symlink);
//                 the same path always gets the same number

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>

namespace sensorlink {

struct SerialPortEntry {
    int number = 0;
    QString device;       // what the port is opened with, e.g. /dev/ttyUSB0
    QString description;  // for a selector, e.g. "FT232R USB UART"
};

// One port as a system scan reports it.
struct SystemPort {
    QString portName;        // ttyUSB0, COM3
    QString systemLocation;  // /dev/ttyUSB0, \\.\COM3
    QString description;
    bool hasUsbIdentity = false;
    quint16 vendorId = 0;
    quint16 productId = 0;
    QString serialNumber;
};

class SerialPortTable {
  public:
    using Scanner = std::function<QList<SystemPort>()>;

    static constexpr int kFirstAdapterNumber = 101;
    static constexpr int kFirstUserNumber = 1001;

    SerialPortTable();  // scans with QSerialPortInfo
    // A scanner of one's own (tests) is the whole truth: no device of the machine is tried.
    void SetScanner(Scanner scanner);

    // Rescans the system ports; numbers already given out stay with their ports.
    void Refresh();
    // Present system ports and the typed paths, ordered by number (rescans first).
    QList<SerialPortEntry> Entries();
    // Device of a number, empty when no device has it now (rescans first).
    QString Device(int number);
    // True when the number belonged to an adapter that is not plugged in now.
    bool AbsentAdapter(int number) const;

    int AddDevicePath(const QString& path);
    // What the user typed: "3", "COM3", "ttyUSB0", "/dev/ttyUSB0", "./velorax-tty".
    // Returns the number, or -1 when the text names nothing. A path that is not a system
    // port is added as a typed path.
    int Parse(const QString& typed);

    // Typed paths in number order, for the settings file.
    QStringList UserPaths() const;
    void RestoreUserPaths(const QStringList& paths);
    // USB identities in number order, so adapters keep their numbers across restarts.
    QStringList AdapterKeys() const;
    void RestoreAdapterKeys(const QStringList& keys);

  private:
    struct Present {
        QString device;
        QString portName;
        QString description;
    };
    static QString CleanPath(const QString& path);
    int NumberForKey(const QString& key);

    Scanner scanner_;
    bool systemScan_ = true;
    std::map<QString, int> adapterNumbers_;  // USB identity -> number
    std::map<int, Present> present_;         // system ports of the last scan
    QStringList userPaths_;                  // number kFirstUserNumber + index
};

}  // namespace sensorlink
