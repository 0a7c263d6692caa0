#include "common/workstation.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>

namespace tarvest::Workstation {

namespace {
QString g_address;
QString g_hostName;
} // namespace

QString address()
{
    if (!g_address.isEmpty())
        return g_address;
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    return {};
}

QString hostName()
{
    return g_hostName.isEmpty() ? QHostInfo::localHostName() : g_hostName;
}

void setFixed(const QString& address, const QString& hostName)
{
    g_address = address;
    g_hostName = hostName;
}

} // namespace tarvest::Workstation
