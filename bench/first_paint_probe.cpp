// Preloaded into both start-up children (the program and the floor), so the
// shipped program carries no benchmark hook: as the application object is
// made, it starts watching, and the first paint of a top-level window ends
// the event loop by the ordinary way out.
#include <QApplication>
#include <QWidget>

namespace
{

class ExitAfterFirstPaint : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!done_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
        {
            done_ = true;
            // Queued, so the window's children finish the same paint first.
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool done_ = false;
};

// A child of the application, so it goes with it and the leak checker sees nothing left.
void watchForFirstPaint() { qApp->installEventFilter(new ExitAfterFirstPaint(qApp)); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(watchForFirstPaint)
