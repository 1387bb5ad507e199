// A program killed in the middle of saving a document: whenever the kill
// lands, the file on disk is either the previous document or the new one,
// whole, never a mixture or a stump.
#include "TestPictures.h"

#include "image/BmpCodec.h"
#include "image/ImageSet.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace cvg;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList calibrateArgs(const QString& picture, const QString& out)
{
    return { QStringLiteral("calibrate"), picture, out, QStringLiteral("--y-upper"),
        QStringLiteral("100,2900,100"), QStringLiteral("--y-lower"), QStringLiteral("100,100,0"),
        QStringLiteral("--x-left"), QStringLiteral("100,100,0"), QStringLiteral("--x-right"),
        QStringLiteral("3900,130,300") };
}

} // namespace

TEST(SaveInterrupt, KillingTheWriterLeavesTheOldOrTheNewDocumentWhole)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A large picture with slightly turned axes, so that the command spends
    // real time correcting and encoding before and while it writes.
    const QString picture = dir.filePath(QStringLiteral("big.bmp"));
    SaveBmpPicture(picture, test::patternPicture(4000, 3000));
    const QString small = dir.filePath(QStringLiteral("small.bmp"));
    SaveBmpPicture(small, test::drawGraph(400, 300));
    const QString target = dir.filePath(QStringLiteral("doc.cvd"));
    const QString fresh = dir.filePath(QStringLiteral("fresh.cvd"));

    auto run = [](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(CVG_CLI_PATH), args);
        EXPECT_TRUE(p.waitForFinished(120000));
        return p.exitCode();
    };
    // The old document, and the new one as an undisturbed run writes it.
    QStringList oldArgs = calibrateArgs(small, target);
    oldArgs[4] = QStringLiteral("10,290,100");
    oldArgs[6] = QStringLiteral("10,10,0");
    oldArgs[8] = QStringLiteral("10,10,0");
    oldArgs[10] = QStringLiteral("390,10,300");
    ASSERT_EQ(run(oldArgs), 0);
    const QByteArray oldBytes = fileBytes(target);
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(run(calibrateArgs(picture, fresh)), 0);
    const qint64 whole = std::max<qint64>(timer.elapsed(), 20);
    const QByteArray newBytes = fileBytes(fresh);
    ASSERT_FALSE(oldBytes.isEmpty());
    ASSERT_NE(oldBytes, newBytes);

    // Kills spread over the second half of a run, where the writing is.
    int replaced = 0;
    for (int i = 0; i < 12; ++i) {
        QProcess p;
        p.start(QStringLiteral(CVG_CLI_PATH), calibrateArgs(picture, target));
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(quint64(whole / 2 + whole * i / 20));
        p.kill();
        p.waitForFinished(30000);
        const QByteArray now = fileBytes(target);
        if (now == newBytes) {
            ++replaced;
            QFile restore(target); // the old document again for the next round
            ASSERT_TRUE(restore.open(QIODevice::WriteOnly | QIODevice::Truncate));
            restore.write(oldBytes);
        } else {
            ASSERT_EQ(now, oldBytes) << "kill after " << (whole / 2 + whole * i / 20)
                                     << " ms left a broken file";
        }
    }
    RecordProperty("replaced", replaced);
}
