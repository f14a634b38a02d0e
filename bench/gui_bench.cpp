// Drives the real window offscreen on a tree: GO for the type table, then GO with only
// "File attributes" checked (every file listed). Prints the times, the longest gap between
// two repaints during each search, the rows shown and the peak RSS, one "name value" line
// each, for run_bench.py.

#include "Application.h"
#include "SortListView.h"
#include "try1.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <sys/resource.h>
#include <vector>

using namespace vintrel;

namespace {

// Notes the longest time between two paint events anywhere in the window.
class PaintWatch : public QObject {
  public:
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
    }
    qint64 longestGapMs() const { return std::max(longest_, clock_.elapsed() - last_); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
};

// The median of three runs of GO, and the longest repaint gap of any of them.
double Timed(PaintWatch& watch, TForm1& form, qint64& longestGap) {
    std::vector<double> seconds;
    longestGap = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        watch.start();
        timer.start();
        form.Button1->click();
        seconds.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        longestGap = std::max(longestGap, watch.longestGapMs());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[1];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_bench FOLDER\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application application(argc, argv);
    TForm1 form({"gui_bench", argv[1]});
    form.show();
    PaintWatch watch;
    application.installEventFilter(&watch);
    QCoreApplication::processEvents();

    form.Button1->click(); // warm-up: caches, fonts, the MIME database
    qint64 gap = 0;
    const double types = Timed(watch, form, gap);
    std::printf("types_seconds %.3f\ntypes_max_paint_gap_ms %lld\ntypes_rows %d\n", types,
                static_cast<long long>(gap), form.ListView1->rows()->rowCount());

    form.AttribsChk->setChecked(true);
    const double list = Timed(watch, form, gap);
    std::printf("list_seconds %.3f\nlist_max_paint_gap_ms %lld\nlist_rows %d\n", list,
                static_cast<long long>(gap), form.ListView2->rows()->rowCount());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_kb %ld\n", usage.ru_maxrss);
    return 0;
}
