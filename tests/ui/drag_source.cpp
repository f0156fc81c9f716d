// A second X client for the drag-and-drop check: a small window that, when pressed, drags one
// file as a file manager would (a file URL, copy or move offered, move proposed). It exits 0
// when the drop was taken as a copy, 1 when it was taken otherwise or refused, 2 on wrong use
// and 3 when no drag happened in time.

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class DragSource final : public QWidget {
  public:
    explicit DragSource(QString file) : file_(std::move(file)) {
        setWindowTitle(QStringLiteral("QLV drag source"));
        resize(200, 200);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        event->accept();
        if (started_) {
            return;
        }
        started_ = true;
        auto* payload = new QMimeData;
        payload->setUrls({QUrl::fromLocalFile(file_)});
        auto* drag = new QDrag(this);
        drag->setMimeData(payload);
        // Tells the check which action the window under the pointer offers, so that it
        // lets go only once the list has answered.
        connect(drag, &QDrag::actionChanged, [](Qt::DropAction action) {
            std::printf("offered: %d\n", static_cast<int>(action));
            std::fflush(stdout);
        });
        const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        std::printf("drop action: %d\n", static_cast<int>(result));
        std::fflush(stdout);
        // Stay a little while after the drop, so the receiving program is not cut off from
        // the drag's owner while it finishes the drop.
        QTimer::singleShot(1000,
                           [result] { QApplication::exit(result == Qt::CopyAction ? 0 : 1); });
    }

  private:
    QString file_;
    bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drag_source FILE\n");
        return 2;
    }
    DragSource source(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    source.show();
    // Only a guard against a check that never presses: ends the program, it times nothing.
    QTimer::singleShot(120000, [] { QApplication::exit(3); });
    return QApplication::exec();
}
