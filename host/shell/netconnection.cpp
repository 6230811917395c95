#include "netconnection.h"

#include "eventboundary.h"

#include <QTcpSocket>

TNetConnection::TNetConnection(QObject *parent) : QObject(parent), mSocket(new QTcpSocket(this)) {}

TNetConnection::~TNetConnection() = default;

bool TNetConnection::Connected() const
{
    return mSocket->state() == QAbstractSocket::ConnectedState;
}

void TNetConnection::SetConnected(bool connected)
{
    if (connected) {
        if (Connected())
            return;
        // A failing handler leaves the connection as it was.
        EventBoundary::emitStopping([this] { Q_EMIT BeforeConnect(this); });
        mSocket->abort();
        // A port outside 1..65535 would wrap around to another port, and another server.
        if (Port < 1 || Port > 65535) {
            mLastError = QStringLiteral("Porta inválida: %1").arg(Port);
            return;
        }
        mSocket->connectToHost(Host, quint16(Port));
        if (!mSocket->waitForConnected(connectTimeoutMs)) {
            mLastError = mSocket->errorString();
            mSocket->abort();
        }
        return;
    }
    if (mSocket->state() == QAbstractSocket::UnconnectedState)
        return;
    ++mDisconnects;
    mSocket->disconnectFromHost();
    if (mSocket->state() != QAbstractSocket::UnconnectedState && !mSocket->waitForDisconnected(1000))
        mSocket->abort();
}
