// Thousands of random sequences of what a user can do to the main window, each step followed
// by a check of everything the window must show, hold and have written.
//
// QLV_ABUSE_SEQUENCES sets how many sequences run, QLV_ABUSE_SEED the seed (printed at the
// start), QLV_ABUSE_FIRST the first sequence: a failure names its seed, sequence and step, and
// QLV_ABUSE_SEED=S QLV_ABUSE_FIRST=N QLV_ABUSE_SEQUENCES=1 runs that sequence alone.

#include <QElapsedTimer>

#include "abuse_sequence.h"
#include "filetypes/file_types.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultSequences = 800;  // under two minutes with AddressSanitizer
#else
constexpr int kDefaultSequences = 1500;  // under a minute
#endif
constexpr unsigned kDefaultSeed = 20261209;

unsigned environmentNumber(const char* name, unsigned fallback) {
    bool ok = false;
    const unsigned value = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? value : fallback;
}

QtMessageHandler testMessages = nullptr;

}  // namespace

class WindowAbuseTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        FileTypes::Initialize();
        // The offscreen platform notes every raise and size hint it cannot pass on; thousands
        // of those notes would use up Qt Test's allowance of warnings and hide a failure.
        testMessages = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
                if (!text.startsWith(QStringLiteral("This plugin does not support"))) {
                    testMessages(type, context, text);
                }
            });
    }
    void cleanupTestCase() { FileTypes::Release(); }

    void randomUseKeepsEveryPromise() {
        const unsigned seed = environmentNumber("QLV_ABUSE_SEED", kDefaultSeed);
        const unsigned first = environmentNumber("QLV_ABUSE_FIRST", 0);
        const unsigned count = environmentNumber("QLV_ABUSE_SEQUENCES", kDefaultSequences);
        qInfo("window abuse run: seed %u, sequences %u to %u", seed, first, first + count - 1);
        const abuse::Library library;
        QElapsedTimer clock;
        clock.start();
        long steps = 0;
        for (unsigned number = first; number < first + count; ++number) {
            abuse::Sequence sequence(library, seed, static_cast<int>(number));
            for (int step = 1; step <= sequence.length(); ++step, ++steps) {
                sequence.step();
                QString failure = QTest::currentTestFailed()
                                      ? QStringLiteral("a step's own check failed")
                                      : sequence.check();
                if (!failure.isEmpty()) {
                    QFAIL(qPrintable(
                        QStringLiteral("seed %1, sequence %2, step %3: %4\nThe steps:\n  %5")
                            .arg(seed)
                            .arg(number)
                            .arg(step)
                            .arg(failure, sequence.log().join(QStringLiteral("\n  ")))));
                }
            }
        }
        qInfo("%ld steps in %lld ms", steps, static_cast<long long>(clock.elapsed()));
    }
};

QLV_UI_TEST_MAIN(WindowAbuseTest)
#include "window_abuse_test.moc"
