#include "BenchPlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

// One click on "Save": the 26 writes of the curve file, each read, changed and put in place on
// its own, and the flush at the end, in a folder that holds nothing else or holds as many other
// files as the argument says. The file is there from the first save on, as when a tuner saves
// again and again, and every save changes all 26 values. Wall time: the writes wait for the disk.
void BM_SaveCurve(benchmark::State& state) {
    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no scratch folder");
    for (int i = 0; i < state.range(0); ++i) {
        QFile other(folder.filePath(QStringLiteral("log-%1.txt").arg(i, 5, 10, QChar(u'0'))));
        if (!other.open(QIODevice::WriteOnly))
            qFatal("cannot fill the scratch folder");
    }
    // The other files reach the disk before the clock starts, not with the first save's sync.
    const int made = ::open(QFile::encodeName(folder.path()).constData(), O_RDONLY | O_CLOEXEC);
    if (made < 0 || ::syncfs(made) != 0)
        qFatal("cannot sync the scratch folder");
    ::close(made);
    const int home = ::open(".", O_PATH | O_CLOEXEC);
    if (home < 0 || !QDir::setCurrent(folder.path()))
        qFatal("cannot work in the scratch folder");
    TBenchPlatform platform;
    TForm1 form(platform.Services());
    bool raised = false;
    for (auto _ : state) {
        // Every save changes every key: each advance by a degree, each speed by 100 RPM,
        // the top point first when they rise, so that no point pushes another.
        state.PauseTiming();
        raised = !raised;
        for (int k = 0; k < 13; ++k) {
            const int point = raised ? 12 - k : k;
            form.SpinEditADV[point]->SetValue(form.SpinEditADV[point]->Value() + (raised ? 1 : -1));
            form.SpinEditRPM[point]->SetValue(form.SpinEditRPM[point]->Value() +
                                              (raised ? 100 : -100));
        }
        state.ResumeTiming();
        form.B_SaveIniFileClick(nullptr);
    }
    if (platform.MessageBox.Shown != 0)
        state.SkipWithError("a write failed");
    if (::fchdir(home) != 0)
        qFatal("cannot go back to the working folder");
    ::close(home);
}
BENCHMARK(BM_SaveCurve)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
