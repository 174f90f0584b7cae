#pragma once
// TcpChannel: the one TCP client of the server, on the socket the QTcpServer handed over.
// It owns the socket; bytes go out as the Connection hands them over, a split reply one
// byte per write, and a reply that ends the conversation closes the socket.

#include <QTcpSocket>

#include "sim/server/channel.h"

namespace sim {

class TcpChannel : public Channel {
  public:
    TcpChannel(SimServer& server, QTcpSocket* socket);
    QTcpSocket* Socket() const { return socket_; }

  protected:
    bool Write(const Emission& e) override;

  private:
    QTcpSocket* socket_;
};

}  // namespace sim
