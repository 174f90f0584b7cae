// The port table with a scripted system scan.

#include "link/serial_ports.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using sensorlink::SerialPortTable;
using sensorlink::SystemPort;

SystemPort Port(const QString& name, quint16 vendor = 0, quint16 product = 0,
                const QString& serial = {}) {
    SystemPort port;
    port.portName = name;
    port.systemLocation = QStringLiteral("/dev/") + name;
    port.description = name + QStringLiteral(" port");
    port.hasUsbIdentity = vendor != 0;
    port.vendorId = vendor;
    port.productId = product;
    port.serialNumber = serial;
    return port;
}

TEST(SerialPortTable, NumbersStayWithTheirPorts) {
    QList<SystemPort> scan{Port("ttyUSB0", 0x0403, 0x6001, "A1"), Port("ttyS3"), Port("ttyS0"),
                           Port("ttyACM0", 0x2341, 0x0043, "X9")};
    SerialPortTable table;
    table.SetScanner([&scan] { return scan; });

    const auto entries = table.Entries();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].number, 1);
    EXPECT_EQ(entries[1].number, 4);
    EXPECT_EQ(entries[1].device, "/dev/ttyS3");
    EXPECT_EQ(entries[2].number, 101);  // ttyACM0, first in name order
    EXPECT_EQ(entries[3].number, 102);
    EXPECT_EQ(entries[3].description, "ttyUSB0 port");

    // The adapter comes back under another name: same number, new device.
    scan = {Port("ttyS0"), Port("ttyUSB3", 0x0403, 0x6001, "A1")};
    EXPECT_EQ(table.Device(102), "/dev/ttyUSB3");
    EXPECT_EQ(table.Device(101), QString());
    EXPECT_TRUE(table.AbsentAdapter(101));
    EXPECT_FALSE(table.AbsentAdapter(50));

    // Two adapters of one make without serial numbers are told apart; a new one gets the
    // next number.
    scan = {Port("ttyUSB1", 0x1a86, 0x7523), Port("ttyUSB2", 0x1a86, 0x7523)};
    EXPECT_EQ(table.Device(103), "/dev/ttyUSB1");
    EXPECT_EQ(table.Device(104), "/dev/ttyUSB2");

    // The numbering survives a restart through the settings.
    SerialPortTable restored;
    restored.RestoreAdapterKeys(table.AdapterKeys());
    restored.SetScanner([&scan] { return scan; });
    EXPECT_EQ(restored.Device(104), "/dev/ttyUSB2");
    scan = {Port("ttyACM5", 0x2341, 0x0043, "X9")};
    EXPECT_EQ(restored.Device(101), "/dev/ttyACM5");
}

TEST(SerialPortTable, TypedPathsAndParsing) {
    QList<SystemPort> scan{Port("ttyS0"), Port("ttyUSB0", 0x0403, 0x6001, "A1")};
    SerialPortTable table;
    table.SetScanner([&scan] { return scan; });

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pty = dir.filePath(QStringLiteral("velorax-tty"));
    const int first = table.AddDevicePath(pty);
    EXPECT_EQ(first, SerialPortTable::kFirstUserNumber);
    EXPECT_EQ(table.AddDevicePath(pty), first);
    EXPECT_EQ(table.AddDevicePath(dir.path() + QStringLiteral("/./velorax-tty")), first);
    EXPECT_EQ(table.AddDevicePath(dir.filePath(QStringLiteral("other"))), first + 1);
    EXPECT_EQ(table.Device(first), pty);
    EXPECT_EQ(table.Device(first + 5), QString());

    EXPECT_EQ(table.Parse(QStringLiteral(" 3 ")), 3);
    EXPECT_EQ(table.Parse(QStringLiteral("COM3")), 3);
    EXPECT_EQ(table.Parse(QStringLiteral("com12")), 12);
    EXPECT_EQ(table.Parse(QStringLiteral("ttyUSB0")), 101);
    EXPECT_EQ(table.Parse(QStringLiteral("/dev/ttyUSB0")), 101);
    EXPECT_EQ(table.Parse(QStringLiteral("ttyS7")), 8);
    EXPECT_EQ(table.Parse(pty), first);
    EXPECT_EQ(table.Parse(QString()), -1);
    EXPECT_EQ(table.Parse(QStringLiteral("0")), -1);
    EXPECT_EQ(table.Parse(QStringLiteral("no-such-port-name")), -1);

    // A relative path is kept absolute, so it means the same after the directory changes.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const int relative = table.Parse(QStringLiteral("./velorax-tty"));
    ASSERT_TRUE(QDir::setCurrent(previous));
    EXPECT_EQ(relative, first);

    SerialPortTable restored;
    restored.RestoreUserPaths(table.UserPaths());
    EXPECT_EQ(restored.Device(first + 1), dir.filePath(QStringLiteral("other")));
    const auto entries = restored.Entries();
    EXPECT_EQ(entries.back().number, first + 1);
}

}  // namespace
