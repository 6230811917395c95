#pragma once

#include "host_global.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QTcpSocket;

// Connection to the host's application server. Failures are not raised: the connected state
// simply stays false. The before-connect event lets the owner set host and port at each connect.
class HOST_EXPORT TNetConnection : public QObject
{
    Q_OBJECT
public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    QString ServerName;
    QString Host;
    int Port = 0;

    bool Connected() const;
    // true: raises BeforeConnect, then connects (waits at most `connectTimeoutMs`);
    // false: disconnects.
    void SetConnected(bool connected);

    int connectTimeoutMs = 2000;
    // How many times a disconnect was carried out (a never-connected connection makes none).
    int disconnectCount() const { return mDisconnects; }
    QString lastError() const { return mLastError; }

Q_SIGNALS:
    void BeforeConnect(QObject *sender);

private:
    QTcpSocket *mSocket = nullptr; // child of this
    int mDisconnects = 0;
    QString mLastError;
};
