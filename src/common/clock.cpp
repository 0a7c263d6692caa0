#include "common/clock.h"

#include <QMutex>
#include <QMutexLocker>

namespace tarvest::Clock {

namespace {
QMutex g_mutex;
std::optional<QDateTime> g_fixed;
} // namespace

QDate today()
{
    QMutexLocker lock(&g_mutex);
    return g_fixed ? g_fixed->date() : QDate::currentDate();
}

QTime timeOfDay()
{
    QMutexLocker lock(&g_mutex);
    return g_fixed ? g_fixed->time() : QTime::currentTime();
}

void setFixed(std::optional<QDateTime> moment)
{
    QMutexLocker lock(&g_mutex);
    g_fixed = std::move(moment);
}

} // namespace tarvest::Clock
