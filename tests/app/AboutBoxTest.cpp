// The About box: which files its list shows and in which order, their versions, the version
// line, the logo's colour key, folder walks that meet link loops, and the Help menu command.
#include "AppFixture.h"

#include "app/CApplicationAboutDlg.h"
#include "app/CommandIds.h"
#include "app/ModuleList.h"
#include "platform/CFileVersionInfo.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtTest>

#include <unistd.h>

namespace {

// A program tree: bin/ with one program, lib/ with two libraries and lib/extra/ with a file
// that carries no version.
class ProgramTree {
public:
    ProgramTree() {
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("bin"));
        root.mkpath(QStringLiteral("lib/extra"));
        // This test program and the image library carry version sections.
        Copy(QString::fromStdString(platform::ExecutablePath()), "bin/kavrindemo", true);
        const QString library =
            QString::fromStdString(platform::FindBesideProgram("libLumoInst.so"));
        Copy(library, "lib/libZeta.so", false);
        Copy(library, "lib/libAlpha.so", false);
        Write("lib/extra/libPlain.so", "no version here");
        Write("bin/notes.txt", "not a program");
    }
    std::string Base() const { return m_dir.path().toStdString(); }
    std::string Path(const char* relative) const { return Base() + "/" + relative; }

private:
    void Copy(const QString& from, const char* to, bool executable) {
        const QString target = m_dir.filePath(QString::fromLatin1(to));
        QVERIFY(QFile::copy(from, target));
        QFile::setPermissions(target,
                              executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
    }
    void Write(const char* to, const char* text) {
        QFile file(m_dir.filePath(QString::fromLatin1(to)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QTemporaryDir m_dir;
};

bool Fill(CApplicationAboutDlg& dialog, const ProgramTree& tree) {
    return dialog.AddModules(tree.Base(), tree.Path("bin"), "*", true, true) &&
           dialog.AddModules(tree.Base(), tree.Path("lib"), "*.so", false, false);
}

} // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void programFirstThenLibrariesInByteOrder() {
        ProgramTree tree;
        CApplicationAboutDlg dialog;
        QVERIFY(Fill(dialog, tree));
        const std::vector<std::string> expected{"bin/kavrindemo", "lib/extra/libPlain.so",
                                                "lib/libAlpha.so", "lib/libZeta.so"};
        QCOMPARE(dialog.Modules().Entries(), expected);
        // An overlapping second scan lists nothing twice.
        QVERIFY(dialog.AddModules(tree.Base(), tree.Path("bin"), "kavrin*", true, false));
        QCOMPARE(dialog.Modules().Entries(), expected);
        dialog.show();
        platform::CFileVersionInfo own;
        QVERIFY(platform::CFileVersionInfo::ReadOwn(own));
        const QString version =
            QStringLiteral("V ") + QString::fromStdString(own.GetProductVersionText());
        QCOMPARE(dialog.ModuleText(0, 1), version);
        QCOMPARE(dialog.ModuleText(1, 0), QStringLiteral("lib/extra/libPlain.so"));
        QCOMPARE(dialog.ModuleText(1, 1), QStringLiteral("Unavailable"));
        QCOMPARE(dialog.ModuleText(2, 1), version);
        QCOMPARE(dialog.VersionLine().toStdString(),
                 ModuleList::VersionLine(own.GetProductVersionText(), ""));
    }

    void sortRuleKeepsTheFirstEntry() {
        std::vector<std::string> two{"z", "a"};
        ModuleList::SortModules(two);
        QCOMPARE(two, (std::vector<std::string>{"z", "a"}));
        std::vector<std::string> many{"z", "b", "B", "a"};
        ModuleList::SortModules(many);
        QCOMPARE(many, (std::vector<std::string>{"z", "B", "a", "b"}));
    }

    void versionLine() {
        QCOMPARE(ModuleList::VersionLine("2.1.0.15", "kept"),
                 std::string("V 2.1.0 build 15 for x86_64"));
        QCOMPARE(ModuleList::VersionLine("", "kept"), std::string("kept"));
        QCOMPARE(ModuleList::VersionLine(".5", "kept"), std::string("kept"));
    }

    void firstModuleWithoutVersionKeepsTheCallersLine() {
        ProgramTree tree;
        CApplicationAboutDlg dialog;
        dialog.SetVersionLine(QStringLiteral("as given"));
        QVERIFY(dialog.AddModules(tree.Base(), tree.Path("lib/extra"), "*.so", false, true));
        dialog.show();
        QCOMPARE(dialog.VersionLine(), QStringLiteral("as given"));
    }

    void linkLoopsAndMissingFoldersEndTheWalk() {
        ProgramTree tree;
        // lib/extra/up -> lib and lib/self -> lib: following either would never end.
        QCOMPARE(symlink(tree.Path("lib").c_str(), tree.Path("lib/extra/up").c_str()), 0);
        QCOMPARE(symlink("..", tree.Path("lib/self").c_str()), 0);
        ModuleList list;
        QVERIFY(list.AddModules(tree.Base(), tree.Path("lib"), "*.so", false, true));
        QCOMPARE(list.Entries().size(), size_t(3));
        QVERIFY(!list.AddModules(tree.Base(), tree.Path("missing"), "*.so", false, true));
        QCOMPARE(list.Entries().size(), size_t(3)); // unchanged
    }

    void logoColourKeyIsTransparentAndBlack() {
        QImage logo(181, 48, QImage::Format_RGB32);
        logo.fill(QColor(255, 0, 255)); // the key, read at (170, 0)
        logo.setPixel(10, 10, qRgb(20, 40, 200));
        CApplicationAboutDlg dialog;
        dialog.SetLogo(QPixmap::fromImage(logo));
        dialog.show();
        const QImage drawn = dialog.Logo().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(drawn.pixel(10, 10), qRgb(20, 40, 200));
        QCOMPARE(qAlpha(drawn.pixel(10, 10)), 255);
        QCOMPARE(qAlpha(drawn.pixel(100, 30)), 0);
        const QImage mask = dialog.Logo().mask().toImage();
        QVERIFY(mask.pixelIndex(10, 10) != mask.pixelIndex(100, 30));
        // Painting the band with the logo does not fail with a logo of any size.
        dialog.SetLogo(QPixmap(16, 16));
        QVERIFY(!dialog.grab().isNull());
    }

    void helpMenuOpensTheAboutBox() {
        AppHome home;
        AppRun run;
        QVERIFY(run.Started());
        QString caption;
        QTimer::singleShot(50, [&] {
            auto* dialog = qobject_cast<CApplicationAboutDlg*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            caption = dialog->windowTitle();
            dialog->accept();
        });
        QVERIFY(run.Trigger(cmd::ID_APP_ABOUT));
        QCOMPARE(caption,
                 QStringLiteral("About ") + QString::fromStdString(run.App().GetFileDescription()));
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
