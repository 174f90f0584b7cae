#include "connection/connection_core.h"

#include <gtest/gtest.h>

namespace {

TEST(ConnectionCore, PortNumberTakesTheLeadingDigits) {
    EXPECT_EQ(connection::TcpPortOf("10001abc"), 10001);
    EXPECT_EQ(connection::TcpPortOf(""), 0);
    EXPECT_EQ(connection::TcpPortOf("abc"), 0);
    EXPECT_EQ(connection::TcpPortOf("  502"), 502);
    EXPECT_EQ(connection::TcpPortOf("65535"), 65535);
    EXPECT_EQ(connection::TcpPortOf("65536"), 0);
    EXPECT_EQ(connection::TcpPortOf("99999999999999999999"), 0);
}

}  // namespace
