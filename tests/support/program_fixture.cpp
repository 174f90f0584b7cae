#include "program_fixture.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

#include "shell/page_list.h"
#include "sim/model/faults.h"
#include "sim/model/sensor_model.h"

namespace testing_support {

namespace {
QString Lines(const QStringList& lines) {
    return lines.join("\r\n") + "\r\n";
}
}  // namespace

QString TcpSettingsText(const QString& host, int port) {
    return Lines({"[GENERAL INFO]", "FILE TYPE: = \"Panel Settings\"", "",
                  "[COMMUNICATION SETTINGS]", "COMPROTOCOL = 1",
                  QString("IP ADRESS = \"%1\"").arg(host),
                  QString("PORT NUMBER = \"%1\"").arg(port), ""});
}

void Choose(QComboBox* list, int value) {
    ui::SetComboValue(list, value);
    emit list->activated(list->currentIndex());
}

void DoubleClick(QWidget* control) {
    QTest::mouseDClick(control, Qt::LeftButton);
}

void RightDoubleClick(QWidget* control) {
    QTest::mouseDClick(control, Qt::RightButton);
}

int FreeTcpPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

::testing::AssertionResult ConnectedWithoutFailure(session::Session& session) {
    const std::string& failure = session.LinkStatus().message;
    if (!failure.empty()) return ::testing::AssertionFailure() << "reported: " << failure;
    if (!session.Link().Up()) return ::testing::AssertionFailure() << "the link is down";
    return ::testing::AssertionSuccess();
}

QString NoSensorSettingsText() {
    return TcpSettingsText("127.0.0.1", FreeTcpPort());
}

QString SerialSettingsText(const QString& device, int baudIndex) {
    return Lines({"[GENERAL INFO]", "FILE TYPE: = \"Panel Settings\"", "",
                  "[COMMUNICATION SETTINGS]", "COMPROTOCOL = 0", "COMPORT = 1001",
                  QString("BAUDRATE = %1").arg(baudIndex), "", "[SERIAL DEVICES]",
                  QString("DEVICE 1 = \"%1\"").arg(device), ""});
}

SensorProgram::SensorProgram(sim::ServerOptions options, Transport transport, ui::Clock* clock,
                             const std::function<void(sim::SensorModel&)>& prepare)
    : sensor(std::move(options)), program(Connect(sensor, sensorDir, transport, prepare), clock) {
    if (!program.program) return;
    program->StartUp();
    program.popups.Clear();
    QObject::connect(&S(), &session::Session::LinkFailed, &S(),
                     [this](const QString& text) { reports_ << text; });
}

QString SensorProgram::Connect(sim::SimServer& sensor, const QTemporaryDir& dir,
                               Transport transport,
                               const std::function<void(sim::SensorModel&)>& prepare) {
    if (prepare) prepare(sensor.Model());
    if (transport == Transport::Serial) {
        const QString tty = dir.filePath(QStringLiteral("velorax-tty"));
        sensor.StartPty(tty);
        return SerialSettingsText(tty);
    }
    sensor.StartTcp(0);
    return TcpSettingsText(QStringLiteral("127.0.0.1"), sensor.TcpPort());
}

void UnlikeTheDefaults(sim::SensorModel& model) {
    sim::Eeprom eeprom;
    eeprom.factors = {1100, 980, 1333};
    eeprom.offsets = {21, 7, 300};
    model.PowerUp(eeprom);
    params::ParameterSet& ram = model.Ram()[0];
    ram.block.power = 777;
    ram.block.holdFail = 25;
    for (std::size_t v = 0; v < params::kVectorCount; ++v) {
        for (std::size_t c = 0; c < 5; ++c)
            ram.teach[v].cell[c] = static_cast<std::uint16_t>(100 + 10 * v + c);
        ram.teach[v].hold = static_cast<std::uint16_t>(v + 1);
    }
}

void SensorProgram::Fault(const std::string& spec) {
    sensor.Model().Faults().Add(*sim::ParseFault(spec));
}

TestProgram::TestProgram(const QString& settings, ui::Clock* clock) {
    QFile::copy(QStringLiteral(VELORAX_UIR_PATH),
                dir.filePath(QString::fromLatin1(ui::kPanelSetFile)));
    if (!settings.isEmpty()) {
        QFile file(SettingsPath());
        if (file.open(QIODevice::WriteOnly)) file.write(settings.toUtf8());
    }
    shell::ProgramOptions options;
    options.pages = shell::AllPages();
    options.session.portScanner = [] { return QList<sensorlink::SystemPort>{}; };
    options.session.clock = clock;
    program = shell::Program::Create(dir.path(), popups, options, &createError);
    if (program) program->SetQuit([] {});
}

TestProgram::~TestProgram() {
    if (program) program->Shutdown();
    program.reset();
}

QString TestProgram::SettingsPath() const {
    return dir.filePath("PanelSettings.cfg");
}

QString TestProgram::ReadSettingsFile() const {
    QFile file(SettingsPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace testing_support
