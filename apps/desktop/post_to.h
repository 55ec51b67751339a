// PostTo: runs a call on the thread of a Qt object, later, through its event
// queue: how the streaming thread and the window's and the sound output's
// threads hand work to one another. Every such hand-off goes through here, so
// that ThreadSanitizer, which cannot see the locking inside the uninstrumented
// Qt libraries, can be told about this one function (see the desktop tests).
#pragma once

#include <QMetaObject>
#include <QObject>
#include <utility>

namespace vesk::desktop {

template <class Call>
void PostTo(QObject* receiver, Call call) {
  QMetaObject::invokeMethod(receiver, [call = std::move(call)]() mutable { call(); }, Qt::QueuedConnection);
}

}  // namespace vesk::desktop
