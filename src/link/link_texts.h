#pragma once
// The fixed texts of the sensor link: what a failed exchange puts into the message buffer,
// and the result tables of opening a serial port and connecting to a TCP server. The tables
// are shared with the connection page, which shows the same texts.

#include <cstdint>
#include <string>
#include <string_view>

namespace sensorlink {

inline constexpr std::string_view kTimeoutText =
    "TIMEOUT! \nNO DATA RECEIVED! \nCOMMUNICATION ERROR! \nCHECK POWER SUPPLY AND COM "
    "SETTINGS. \nTRY TO CONNECT AGAIN!";
// A line error while waiting for the header of a frame the sensor sends on its own (a
// trigger, a scope block): no request went unanswered, so nothing says "no data".
inline constexpr std::string_view kFrameWaitLineText =
    "TIMEOUT! \nCOMMUNICATION ERROR! \nCHECK POWER SUPPLY AND COM SETTINGS. \nTRY TO CONNECT "
    "AGAIN!";
inline constexpr std::string_view kHeaderFrameText =
    "ATTENTION! \nRECEIVED HEADER FRAME IS INCORRECT!";
inline constexpr std::string_view kDataFrameText = "ATTENTION! \nRECEIVED DATA FRAME IS INCORRECT!";
inline constexpr std::string_view kServerClosedText = "SERVER HAS CLOSED CONNECTION!";
// What follows "INFO!\n" and the count of a reply whose values the sensor found
// implausible and replaced by its defaults: after writing RAM (commands 1, 101) and after
// loading the EEPROM (command 4).
inline constexpr std::string_view kPlausibilityRamText =
    " PARAMETER IN RAM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET TO DEFAULT VALUE!";
inline constexpr std::string_view kPlausibilityEepromText =
    " PARAMETER FROM EEPROM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET TO DEFAULT VALUE!";
// "INFO!\n", the count in decimal, then one of the two tails above.
std::string PlausibilityText(std::uint16_t count, std::string_view tail);

// An exchange started from a callback while another one waits for its reply: refused.
inline constexpr std::string_view kExchangeRunningText =
    "ANOTHER EXCHANGE WITH THE SENSOR IS STILL RUNNING!";

// Text of an error reply (command byte 0) with the given code; empty for codes that have
// no message.
std::string_view ErrorReplyText(int code);

// What an error reply says: the table's text, or for a code without one the code itself, so
// that a refusal is never silent where it ends an operation.
std::string RefusalText(std::uint16_t code);

// Result codes of opening a serial port.
namespace serial_result {
inline constexpr int kUnknownSystemError = -1;
inline constexpr int kInvalidPortNumber = -2;
inline constexpr int kPortNotOpen = -3;
inline constexpr int kUnknownIoError = -4;
inline constexpr int kNoSerialPort = -6;
inline constexpr int kCannotOpenPort = -7;
inline constexpr int kInvalidBaudrate = -14;
inline constexpr int kTimeout = -99;
}  // namespace serial_result

// Result codes of connecting to the sensor's TCP server.
namespace tcp_result {
inline constexpr int kUnableToRegisterService = -1;
inline constexpr int kUnableToEstablishConnection = -2;
inline constexpr int kFailedToConnect = -4;
inline constexpr int kInvalidParameter = -9;
inline constexpr int kOutOfMemory = -10;
inline constexpr int kTimeOutError = -11;
inline constexpr int kGeneralIoErr = -13;
inline constexpr int kConnectionClosed = -14;
inline constexpr int kNetworkSubsystemNotReady = -17;
}  // namespace tcp_result

// Table texts; a negative code that is not in a table gives the table's catch-all text, a
// code >= 0 gives an empty text.
std::string_view SerialOpenResultText(int result);
std::string_view TcpConnectResultText(int result);

}  // namespace sensorlink
