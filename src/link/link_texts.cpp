#include "link/link_texts.h"

#include <array>
#include <utility>

namespace sensorlink {
namespace {

using Entry = std::pair<int, std::string_view>;

constexpr std::array kErrorReplyTexts{
    Entry{1, "INVALIDE ORDER NUMBER!\nVERIFY PC AND SENSOR SOFTWARE!"},
    Entry{2, "COMMUNICATION ERROR ON CONTROL UNIT!\nYOU MAY HAVE TO REDUCE THE BAUDRATE!"},
};

constexpr std::array kSerialOpenTexts{
    Entry{-1, "Unknown system error"}, Entry{-2, "Invalid port number"},
    Entry{-3, "Port is not open"},     Entry{-4, "Unknown I/0 error"},
    Entry{-6, "No serial port found"}, Entry{-7, "Cannot open port"},
    Entry{-14, "Invalid Baudrate"},    Entry{-99, "Timeout"},
};
constexpr std::string_view kSerialOtherText = "RS-232 error!";

constexpr std::array kTcpConnectTexts{
    Entry{-1, "UnableToRegisterService"},
    Entry{-2, "UnableToEstablishConnection"},
    Entry{-3, "ExistingServer"},
    Entry{-4, "FailedToConnect"},
    Entry{-5, "ServerNotRegistered"},
    Entry{-6, "TooManyConversations"},
    Entry{-7, "ReadFailed"},
    Entry{-8, "WriteFailed"},
    Entry{-9, "InvalidParameter"},
    Entry{-10, "OutOfMemory"},
    Entry{-11, "TimeOutError"},
    Entry{-12, "NoConnectionEstablished"},
    Entry{-13, "GeneralIOErr"},
    Entry{-14, "ConnectionClosed"},
    Entry{-15, "UnableToLoadWinsockDLL"},
    Entry{-16, "IncorrectWinsockDLLVersion"},
    Entry{-17, "NetworkSubsystemNotReady"},
    Entry{-18, "ConnectionsStillOpen"},
    Entry{-19, "DisconnectPending"},
    Entry{-20, "InfoNotAvailable"},
};
constexpr std::string_view kTcpOtherText = "Connection to server failed";

template <typename Table>
std::string_view Lookup(const Table& table, int code, std::string_view otherwise) {
    for (const auto& [key, text] : table) {
        if (key == code) return text;
    }
    return otherwise;
}

}  // namespace

std::string_view ErrorReplyText(int code) {
    return Lookup(kErrorReplyTexts, code, {});
}

std::string_view SerialOpenResultText(int result) {
    return result >= 0 ? std::string_view{} : Lookup(kSerialOpenTexts, result, kSerialOtherText);
}

std::string_view TcpConnectResultText(int result) {
    return result >= 0 ? std::string_view{} : Lookup(kTcpConnectTexts, result, kTcpOtherText);
}

std::string RefusalText(std::uint16_t code) {
    const std::string_view text = ErrorReplyText(code);
    if (!text.empty()) return std::string(text);
    return "SENSOR HAS REFUSED THE REQUEST!\nERROR CODE " + std::to_string(code);
}

std::string PlausibilityText(std::uint16_t count, std::string_view tail) {
    std::string text = "INFO!\n" + std::to_string(count);
    text += tail;
    return text;
}

}  // namespace sensorlink
