#include "toolkit/pause.h"

#include <QEventLoop>
#include <QTimer>

void WaitWithoutUserInput(std::chrono::milliseconds duration)
{
    if (duration <= std::chrono::milliseconds::zero())
        return;
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
