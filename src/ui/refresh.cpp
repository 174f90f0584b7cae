#include "ui/refresh.h"

#include <QEvent>
#include <algorithm>
#include <utility>

namespace ui {

namespace {

// Calls back when the watched widget is shown.
class ShowWatcher : public QObject {
  public:
    explicit ShowWatcher(std::function<void()> shown) : shown_(std::move(shown)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) shown_();
        return false;
    }

  private:
    std::function<void()> shown_;
};

}  // namespace

WhenShown::WhenShown(QWidget* area, std::function<void()> shown)
    : area_(area), filter_(std::make_unique<ShowWatcher>(std::move(shown))) {
    if (area) area->installEventFilter(filter_.get());
}

WhenShown::~WhenShown() {
    if (area_) area_->removeEventFilter(filter_.get());
}

Refresh::Refresh(std::function<void()> work) : work_(std::move(work)) {
    clock_.start();
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (!Hidden()) Flush();
    });
}

Refresh::~Refresh() = default;

void Refresh::ShownIn(QWidget* area) {
    watcher_.reset();
    area_ = area;
    if (!area) return;
    watcher_ = std::make_unique<WhenShown>(area, [this] {
        if (pending_) Request();
    });
}

void Refresh::Request() {
    pending_ = true;
    if (Hidden()) return;  // the area's Show asks again
    const qint64 now = clock_.elapsed();
    const qint64 wait = ranAt_ >= 0 ? std::max<qint64>(0, ranAt_ + kIntervalMs - now) : 0;
    const qint64 at = wait > 0 ? wait + kGraceMs : kSettleMs;
    if (timer_.isActive() && firesAt_ <= now + at) return;
    firesAt_ = now + at;
    timer_.start(static_cast<int>(at));
}

void Refresh::Flush() {
    if (!pending_) return;
    pending_ = false;
    timer_.stop();
    ranAt_ = clock_.elapsed();
    work_();
}

}  // namespace ui
