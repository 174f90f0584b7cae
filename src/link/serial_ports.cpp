#include "link/serial_ports.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace sensorlink {
namespace {

constexpr int kLastSystemNumber = 100;

QList<SystemPort> ScanSystem() {
    QList<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SystemPort port;
        port.portName = info.portName();
        port.systemLocation = info.systemLocation();
        port.description = info.description();
        port.hasUsbIdentity = info.hasVendorIdentifier() && info.hasProductIdentifier();
        port.vendorId = info.vendorIdentifier();
        port.productId = info.productIdentifier();
        port.serialNumber = info.serialNumber();
        ports.append(port);
    }
    return ports;
}

// The number a port has by its name alone: COMn on Windows, ttySn -> n + 1 on Linux.
int FixedNumber(const QString& portName) {
#ifdef Q_OS_WIN
    static const QRegularExpression pattern(QStringLiteral("^COM(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(portName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
#else
    static const QRegularExpression pattern(QStringLiteral("^ttyS(\\d{1,2})$"));
    const auto match = pattern.match(portName);
    return match.hasMatch() ? match.captured(1).toInt() + 1 : 0;
#endif
}

// Names sort by their letters, then by the number at their end: ttyUSB2 before ttyUSB10.
bool NameBefore(const SystemPort& a, const SystemPort& b) {
    static const QRegularExpression tail(QStringLiteral("(\\d+)$"));
    const auto ma = tail.match(a.portName);
    const auto mb = tail.match(b.portName);
    const QString stemA = ma.hasMatch() ? a.portName.left(ma.capturedStart(1)) : a.portName;
    const QString stemB = mb.hasMatch() ? b.portName.left(mb.capturedStart(1)) : b.portName;
    if (stemA != stemB) return stemA < stemB;
    const qlonglong na = ma.hasMatch() ? ma.captured(1).toLongLong() : -1;
    const qlonglong nb = mb.hasMatch() ? mb.captured(1).toLongLong() : -1;
    return na < nb;
}

QString IdentityKey(const SystemPort& port) {
    if (!port.hasUsbIdentity) return QStringLiteral("name:") + port.portName;
    return QStringLiteral("usb:%1:%2:%3")
        .arg(port.vendorId, 4, 16, QLatin1Char('0'))
        .arg(port.productId, 4, 16, QLatin1Char('0'))
        .arg(port.serialNumber);
}

bool SameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

}  // namespace

SerialPortTable::SerialPortTable() : scanner_(ScanSystem) {}

void SerialPortTable::SetScanner(Scanner scanner) {
    scanner_ = std::move(scanner);
    systemScan_ = false;
}

QString SerialPortTable::CleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

int SerialPortTable::NumberForKey(const QString& key) {
    if (auto it = adapterNumbers_.find(key); it != adapterNumbers_.end()) return it->second;
    int next = kFirstAdapterNumber;
    for (const auto& [known, number] : adapterNumbers_) next = std::max(next, number + 1);
    if (next >= kFirstUserNumber) return -1;
    adapterNumbers_[key] = next;
    return next;
}

void SerialPortTable::Refresh() {
    present_.clear();
    QList<SystemPort> ports = scanner_ ? scanner_() : QList<SystemPort>{};
    std::sort(ports.begin(), ports.end(), NameBefore);
    // Two adapters of one make without serial numbers share an identity; the second one
    // in name order is told apart by a suffix.
    std::map<QString, int> seen;
    for (const SystemPort& port : ports) {
        int number = FixedNumber(port.portName);
        if (number <= 0 || number > kLastSystemNumber) {
            QString key = IdentityKey(port);
            const int count = ++seen[key];
            if (count > 1) key += QStringLiteral("#%1").arg(count);
            number = NumberForKey(key);
        }
        if (number <= 0) continue;
        present_[number] = Present{port.systemLocation, port.portName, port.description};
    }
}

QList<SerialPortEntry> SerialPortTable::Entries() {
    Refresh();
    QList<SerialPortEntry> entries;
    for (const auto& [number, port] : present_) {
        entries.append({number, port.device, port.description});
    }
    for (int i = 0; i < userPaths_.size(); ++i) {
        entries.append({kFirstUserNumber + i, userPaths_[i], QStringLiteral("typed path")});
    }
    return entries;
}

QString SerialPortTable::Device(int number) {
    if (number >= kFirstUserNumber) {
        const int index = number - kFirstUserNumber;
        return index < userPaths_.size() ? userPaths_[index] : QString{};
    }
    if (number <= 0) return {};
    Refresh();
    if (auto it = present_.find(number); it != present_.end()) return it->second.device;
#ifdef Q_OS_WIN
    if (number <= kLastSystemNumber) return QStringLiteral("COM%1").arg(number);
#else
    // A ttyS device the system scan left out (no UART behind it, say) is still tried.
    const QString fallback = QStringLiteral("/dev/ttyS%1").arg(number - 1);
    if (systemScan_ && number <= kLastSystemNumber && QFileInfo::exists(fallback)) return fallback;
#endif
    return {};
}

bool SerialPortTable::AbsentAdapter(int number) const {
    if (present_.count(number) != 0) return false;
    return std::any_of(adapterNumbers_.begin(), adapterNumbers_.end(),
                       [number](const auto& entry) { return entry.second == number; });
}

int SerialPortTable::AddDevicePath(const QString& path) {
    if (path.trimmed().isEmpty()) return -1;
    const QString clean = CleanPath(path.trimmed());
    int index = static_cast<int>(userPaths_.indexOf(clean));
    if (index < 0) {
        userPaths_.append(clean);
        index = static_cast<int>(userPaths_.size()) - 1;
    }
    return kFirstUserNumber + index;
}

int SerialPortTable::Parse(const QString& typed) {
    const QString text = typed.trimmed();
    if (text.isEmpty()) return -1;
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber) return number > 0 ? number : -1;
    static const QRegularExpression comName(QStringLiteral("^COM(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const auto match = comName.match(text); match.hasMatch()) {
        const int n = match.captured(1).toInt();
        return n > 0 ? n : -1;
    }
    Refresh();
    const bool isPath = text.contains(QLatin1Char('/')) || text.contains(QLatin1Char('\\')) ||
                        text.startsWith(QLatin1Char('.'));
    if (isPath) {
        const QString clean = CleanPath(text);
        for (const auto& [n, port] : present_) {
            if (CleanPath(port.device) == clean || SameFile(port.device, clean)) return n;
        }
        return AddDevicePath(text);
    }
    for (const auto& [n, port] : present_) {
        if (port.portName == text) return n;
    }
    if (const int fixed = FixedNumber(text); fixed > 0) return fixed;
#ifndef Q_OS_WIN
    const QString devPath = QStringLiteral("/dev/") + text;
    if (QFileInfo::exists(devPath)) return AddDevicePath(devPath);
#endif
    return -1;
}

QStringList SerialPortTable::UserPaths() const {
    return userPaths_;
}

void SerialPortTable::RestoreUserPaths(const QStringList& paths) {
    userPaths_.clear();
    for (const QString& path : paths) AddDevicePath(path);
}

QStringList SerialPortTable::AdapterKeys() const {
    std::map<int, QString> byNumber;
    for (const auto& [key, number] : adapterNumbers_) byNumber[number] = key;
    QStringList keys;
    int expected = kFirstAdapterNumber;
    for (const auto& [number, key] : byNumber) {
        // Numbers are dense from kFirstAdapterNumber; keep the list positional.
        for (; expected < number; ++expected) keys.append(QString{});
        keys.append(key);
        ++expected;
    }
    return keys;
}

void SerialPortTable::RestoreAdapterKeys(const QStringList& keys) {
    adapterNumbers_.clear();
    for (int i = 0; i < keys.size() && kFirstAdapterNumber + i < kFirstUserNumber; ++i) {
        if (!keys[i].isEmpty()) adapterNumbers_[keys[i]] = kFirstAdapterNumber + i;
    }
}

}  // namespace sensorlink
