// The main window without running the engine: its start state, the refusals,
// the folder-mode switch, the held values, the choosers and their remembered
// folders, the keys and the secondary windows.

#include "AboutDlg.h"
#include "Controls.h"
#include "HelpDlg.h"
#include "UiTestSupport.h"

#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <memory>

namespace {

void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

// Runs the check once the next modal window is up, then closes that window.
void OnNextModal(std::function<void(QWidget*)> check) {
    QTimer::singleShot(0, [check] {
        QWidget* modal = QApplication::activeModalWidget();
        check(modal);
        if (modal) {
            modal->close();
        }
    });
}

// The names the chooser's model lists in the folder, sorted.
QStringList Listed(const QFileSystemModel& model, const QModelIndex& folder) {
    QStringList names;
    for (int row = 0; row < model.rowCount(folder); ++row) {
        names << model.index(row, 0, folder).data().toString();
    }
    names.sort();
    return names;
}

// Drags the addresses over the widget and drops them there, as a file
// manager does (it offers them as text too); true when the drop was taken.
bool Drop(QWidget* target, const QStringList& addresses) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& address : addresses) {
        urls << QUrl(address);
    }
    data.setUrls(urls);
    data.setText(addresses.join(QLatin1Char('\n')));
    const QPoint at = target->rect().center();
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class ConverterDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_sandbox = std::make_unique<UiSandbox>(); }
    void startState();
    void refusalsNameImagesOrFolders();
    void modeSwitchTurnsPathsIntoFolders();
    void browsingKeepsEverythingTyped();
    void choosersOpenWhereTheyShouldAfterARestart();
    void choosersListImagesAndProfilesInAnyCase();
    void dropsPutLocalPathsInTheirFields();
    void imageFoldersAreRememberedAcrossInstances();
    void profileChoosersStartAtTheColorFolder();
    void enterConvertsAndEscapeCloses();
    void helpAndAboutWindows();

private:
    std::unique_ptr<UiSandbox> m_sandbox;
};

void ConverterDlgTest::startState() {
    MainWindow window;
    CConverterDlg& dialog = window.dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Chromaport"));
    for (const char* edit :
         {"sourceImageEdit", "sourceProfileEdit", "destImageEdit", "destProfileEdit"}) {
        QVERIFY2(window.Edit(edit)->text().isEmpty(), edit);
    }
    QStringList intents;
    for (int i = 0; i < window.Intent()->count(); ++i) {
        intents << window.Intent()->itemText(i);
    }
    QCOMPARE(intents, QStringList({"Defined by Source Profile", "Perceptual ",
                                   "Relative Colorimetric", "Saturation"}));
    QCOMPARE(window.Intent()->currentText(), QStringLiteral("Relative Colorimetric"));
    QVERIFY(!window.Check("embedCheck")->isChecked());
    QVERIFY(!window.Check("multipleFilesCheck")->isChecked());
    QCOMPARE(window.Label("sourceLabel")->text(), QStringLiteral("Source Image"));
    QCOMPARE(window.Label("destLabel")->text(), QStringLiteral("Destination Image"));
    QCOMPARE(window.Check("embedCheck")->text(), QStringLiteral("&Embed profile in image"));
    QCOMPARE(window.Check("multipleFilesCheck")->text(), QStringLiteral("Process &Multiple Files"));
    QCOMPARE(window.Edit("sourceImageEdit")->toolTip(),
             QStringLiteral("Image you want to convert"));
    QCOMPARE(window.Edit("destImageEdit")->toolTip(), QStringLiteral("Name of converted image"));
    QCOMPARE(window.Button("browseSourceProfileButton")->toolTip(),
             QStringLiteral("Click to browse colour profiles"));
    QCOMPARE(window.Button("convertButton")->toolTip(), QStringLiteral("Convert the image(s)"));
    QVERIFY(window.Button("quitButton")->toolTip().isEmpty());
    QVERIFY(window.Button("convertButton")->isDefault());

    // The tab order, from the source field round to the folder box.
    const QStringList expected = {"sourceImageEdit",   "browseSourceImageButton",
                                  "sourceProfileEdit", "browseSourceProfileButton",
                                  "destImageEdit",     "browseDestImageButton",
                                  "destProfileEdit",   "browseDestProfileButton",
                                  "intentCombo",       "embedCheck",
                                  "convertButton",     "quitButton",
                                  "helpButton",        "multipleFilesCheck"};
    QStringList order;
    QWidget* widget = window.Edit("sourceImageEdit");
    for (int i = 0; i < expected.size(); ++i) {
        order << widget->objectName();
        do {
            widget = widget->nextInFocusChain();
        } while (!(widget->focusPolicy() & Qt::TabFocus) || widget->isHidden());
    }
    QCOMPARE(order, expected);
    QCOMPARE(window.Label("textLink")->focusPolicy(), Qt::NoFocus);
    QVERIFY(!window.Label("logoLink")->pixmap().isNull());
    QCOMPARE(FindControl(&dialog, 1021), static_cast<QWidget*>(window.Label("logoLink")));
    QCOMPARE(FindControl(&dialog, 1002), static_cast<QWidget*>(window.Edit("sourceImageEdit")));
    QCOMPARE(FindControl(&dialog, 1), static_cast<QWidget*>(window.Button("convertButton")));
    QCOMPARE(window.Label("textLink")->text(), QStringLiteral("https://larkspur.example/"));
}

void ConverterDlgTest::refusalsNameImagesOrFolders() {
    MainWindow window;
    window.Fill("/in/a.tif", "/p/srgb.icc", "", "/p/cmyk.icc");
    window.Click("convertButton");
    window.Check("multipleFilesCheck")->setChecked(true);
    window.Fill("/in/", "", "/out/", "/p/cmyk.icc");
    window.Click("convertButton");
    window.Check("multipleFilesCheck")->setChecked(false);

    // Identical after the destination gets ".tif": refused, the field keeps its text.
    window.Fill("/in/a.tif", "/p/srgb.icc", "/in/a.jpg", "/p/cmyk.icc");
    window.Click("convertButton");
    QCOMPARE(window.Edit("destImageEdit")->text(), QStringLiteral("/in/a.jpg"));
    window.Check("multipleFilesCheck")->setChecked(true);
    window.Fill("/in/", "/p/srgb.icc", "/in/", "/p/cmyk.icc");
    window.Click("convertButton");

    QCOMPARE(window.Texts(),
             std::vector<std::string>(
                 {"Both source and destination images and profiles must be specified",
                  "Both source and destination folders and profiles must be specified",
                  "Source and destination images are the same. Don't be dumb.",
                  "Source and destination folders are the same. Don't be dumb."}));
    for (const auto& shown : window.boxes.shown) {
        QVERIFY(shown.icon == IMessageBoxes::Icon::Error);
        QCOMPARE(shown.parent, static_cast<QWidget*>(&window.dialog));
    }
}

void ConverterDlgTest::modeSwitchTurnsPathsIntoFolders() {
    fx::TempDir temp;
    const std::string image = temp.file("scan.tif");
    Touch(image);
    const std::string folder = temp.mkdir("prints");
    MainWindow window;
    QCheckBox* box = window.Check("multipleFilesCheck");

    window.Edit("sourceImageEdit")->setText(QString::fromStdString(image));
    window.Edit("destImageEdit")->setText(QString::fromStdString(folder));
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QCOMPARE(window.Edit("sourceImageEdit")->text().toStdString(), temp.path() + "/");
    QCOMPARE(window.Edit("destImageEdit")->text().toStdString(), folder + "/");
    QCOMPARE(window.Label("sourceLabel")->text(), QStringLiteral("Source Folder"));
    QCOMPARE(window.Label("destLabel")->text(), QStringLiteral("Destination Folder"));
    QCOMPARE(window.Edit("sourceImageEdit")->toolTip(),
             QStringLiteral("Folder containing images to convert."));
    QCOMPARE(window.Edit("destImageEdit")->toolTip(),
             QStringLiteral("Destination folder for converted images."));

    // Back and forth with a path that does not exist: left as typed.
    QTest::mouseClick(box, Qt::LeftButton);
    window.Edit("sourceImageEdit")->setText(QStringLiteral("/no/such/place"));
    window.Edit("sourceProfileEdit")->setText(QStringLiteral("/p/srgb.icc"));
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(window.Edit("sourceImageEdit")->text(), QStringLiteral("/no/such/place"));

    // Clearing the box keeps what the fields hold.
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(window.Edit("sourceImageEdit")->text(), QStringLiteral("/no/such/place"));
    QCOMPARE(window.Edit("destImageEdit")->text().toStdString(), folder + "/");
    QCOMPARE(window.Edit("sourceProfileEdit")->text(), QStringLiteral("/p/srgb.icc"));
    QCOMPARE(window.Label("sourceLabel")->text(), QStringLiteral("Source Image"));
    QCOMPARE(window.Edit("destImageEdit")->toolTip(), QStringLiteral("Name of converted image"));
}

void ConverterDlgTest::browsingKeepsEverythingTyped() {
    const char* const fields[] = {"sourceImageEdit", "sourceProfileEdit", "destImageEdit",
                                  "destProfileEdit"};
    const char* const buttons[] = {"browseSourceImageButton", "browseSourceProfileButton",
                                   "browseDestImageButton", "browseDestProfileButton"};
    for (const bool folderMode : {false, true}) {
        for (const char* button : buttons) {
            MainWindow window;
            if (folderMode) {
                QTest::mouseClick(window.Check("multipleFilesCheck"), Qt::LeftButton);
            }
            window.Intent()->setCurrentIndex(0);
            window.Check("embedCheck")->setChecked(true);
            window.Fill("/typed/in", "/typed/in.icc", "/typed/out", "/typed/out.icc");
            window.Click(button); // cancelled
            const QString where = QStringLiteral("%1, folder mode %2").arg(button).arg(folderMode);
            for (const char* field : fields) {
                QVERIFY2(window.Edit(field)->text().startsWith(QStringLiteral("/typed/")),
                         qPrintable(where + QLatin1Char(' ') + QLatin1String(field)));
            }
            QCOMPARE(window.Intent()->currentIndex(), 0);
            QVERIFY(window.Check("embedCheck")->isChecked());
            QCOMPARE(window.Check("multipleFilesCheck")->isChecked(), folderMode);
            // A file chooser offers the typed name.
            if (!window.choosers.fileRequests.empty()) {
                QVERIFY2(QString::fromStdString(window.choosers.fileRequests.front().initialName)
                             .startsWith(QStringLiteral("/typed/")),
                         qPrintable(where));
            }
        }
    }

    // A chosen profile goes in its field; what was typed elsewhere stays.
    MainWindow window;
    window.Fill("/typed/in.tif", "", "/typed/out.tif", "");
    window.choosers.fileAnswers.push_back(std::string("/p/cmyk.icc"));
    window.Click("browseDestProfileButton");
    QCOMPARE(window.Edit("destProfileEdit")->text(), QStringLiteral("/p/cmyk.icc"));
    QCOMPARE(window.Edit("sourceImageEdit")->text(), QStringLiteral("/typed/in.tif"));
    QCOMPARE(window.Edit("destImageEdit")->text(), QStringLiteral("/typed/out.tif"));
}

// Each session is a new main window over the same settings; Qt's own dialog
// keeps where it last was in QtProject.conf, which must not matter.
void ConverterDlgTest::choosersOpenWhereTheyShouldAfterARestart() {
    fx::TempDir temp;
    const std::string in = temp.mkdir("in");
    Touch(in + "/a.tif");
    const std::string profile = m_sandbox->ColorFolder() + "/a.icc";
    Touch(profile);
    const std::string home = QDir::homePath().toStdString();
    const std::string color = m_sandbox->ColorFolder();
    struct Step {
        int session;
        const char* button;
        bool folderMode;
        std::string opensIn;
        std::string choose;
    };
    const Step steps[] = {
        {1, "browseSourceProfileButton", false, color, profile},
        {2, "browseSourceImageButton", false, home, in + "/a.tif"},
        {2, "browseDestImageButton", false, home, ""},
        {2, "browseDestImageButton", true, home, ""},
        {3, "browseSourceImageButton", false, in, ""},
        {3, "browseDestProfileButton", false, color, ""},
        {3, "browseDestImageButton", false, home, ""},
        {3, "browseSourceImageButton", true, in, ""},
        {3, "browseDestImageButton", true, home, ""},
    };
    std::unique_ptr<MainWindow> window;
    int session = 0;
    for (const Step& step : steps) {
        if (session != step.session) {
            window.reset();
            window = std::make_unique<MainWindow>(true);
            session = step.session;
        }
        if (window->Check("multipleFilesCheck")->isChecked() != step.folderMode) {
            QTest::mouseClick(window->Check("multipleFilesCheck"), Qt::LeftButton);
        }
        QString opened;
        OnNextModal([&](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            QVERIFY(chooser);
            opened = chooser->directory().absolutePath();
            if (!step.choose.empty()) {
                chooser->selectFile(QString::fromStdString(step.choose));
                static_cast<QDialog*>(chooser)->accept();
            }
        });
        window->Click(step.button);
        QCOMPARE(opened.toStdString(),
                 QDir(QString::fromStdString(step.opensIn)).absolutePath().toStdString());
        if (step.session == 1) {
            // What this test is about: Qt now remembers the colour folder.
            QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
            QVERIFY(qt.value(QStringLiteral("FileDialog/lastVisited"))
                        .toString()
                        .contains(QString::fromStdString(color)));
        }
    }
}

// The real choosers list what a folder run would convert, in any letter case.
void ConverterDlgTest::choosersListImagesAndProfilesInAnyCase() {
    fx::TempDir temp;
    for (const char* name : {"a.tif", "B.TIF", "c.tiff", "D.Tiff", "e.jpg", "f.icc", "G.ICM"}) {
        Touch(temp.file(name));
    }
    struct Case {
        const char* field;
        const char* button;
        QStringList listed;
    };
    const Case cases[] = {
        {"sourceImageEdit", "browseSourceImageButton", {"B.TIF", "D.Tiff", "a.tif", "c.tiff"}},
        {"destImageEdit", "browseDestImageButton", {"B.TIF", "D.Tiff", "a.tif", "c.tiff"}},
        {"destProfileEdit", "browseDestProfileButton", {"G.ICM", "f.icc"}},
    };
    const QString folder = QString::fromStdString(temp.path());
    for (const Case& c : cases) {
        MainWindow window(true);
        // The chooser opens in the folder of the name in the field.
        window.Edit(c.field)->setText(folder + QStringLiteral("/x"));
        OnNextModal([&](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            QVERIFY(chooser);
            auto* model = chooser->findChild<QFileSystemModel*>();
            QVERIFY(model);
            const QModelIndex root = model->index(folder);
            QTRY_COMPARE(Listed(*model, root), c.listed);
            if (QString(c.button).contains(QLatin1String("Image"))) {
                chooser->selectNameFilter(QStringLiteral("All files (*)"));
                QTRY_COMPARE(Listed(*model, root).size(), 7);
            }
        });
        window.Click(c.button);
    }
}

void ConverterDlgTest::imageFoldersAreRememberedAcrossInstances() {
    fx::TempDir temp;
    const std::string in = temp.mkdir("in");
    const std::string out = temp.mkdir("out");
    {
        MainWindow first;
        first.choosers.fileAnswers.push_back(in + "/a.tif");
        first.Click("browseSourceImageButton");
        QCOMPARE(first.Edit("sourceImageEdit")->text().toStdString(), in + "/a.tif");
        QCOMPARE(first.choosers.fileRequests.at(0).title, std::string("Select source image"));
        QVERIFY(!first.choosers.fileRequests.at(0).save);
        QTest::mouseClick(first.Check("multipleFilesCheck"), Qt::LeftButton);
        first.choosers.folderAnswers.push_back(out + "/");
        first.Click("browseDestImageButton");
        QCOMPARE(first.Edit("destImageEdit")->text().toStdString(), out + "/");
        QCOMPARE(first.choosers.folderRequests.at(0).title,
                 std::string("Select destination folder"));
    }
    QFile file(m_sandbox->SettingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    QVERIFY(stored.contains(QByteArray("Source%20Path=") + QByteArray::fromStdString(in + "/")));

    MainWindow second;
    second.Click("browseSourceImageButton");
    QCOMPARE(second.choosers.fileRequests.at(0).initialFolder, in + "/");
    second.Click("browseDestImageButton");
    QCOMPARE(second.choosers.fileRequests.at(1).initialFolder, out + "/");
    QVERIFY(second.choosers.fileRequests.at(1).save);
    QCOMPARE(second.choosers.fileRequests.at(1).title, std::string("Specify output image"));
    QTest::mouseClick(second.Check("multipleFilesCheck"), Qt::LeftButton);
    second.Click("browseSourceImageButton");
    QCOMPARE(second.choosers.folderRequests.at(0).initialFolder, in + "/");
    QCOMPARE(second.choosers.folderRequests.at(0).title,
             std::string("Select folder to load images from"));

    // A remembered folder that is gone is not offered.
    QVERIFY(QDir(QString::fromStdString(in)).removeRecursively());
    second.Click("browseSourceImageButton");
    QCOMPARE(second.choosers.folderRequests.at(1).initialFolder, std::string());
}

void ConverterDlgTest::profileChoosersStartAtTheColorFolder() {
    MainWindow window;
    window.Click("browseSourceProfileButton");
    const FileChooserRequest& first = window.choosers.fileRequests.at(0);
    QCOMPARE(first.initialFolder, m_sandbox->ColorFolder());
    QCOMPARE(first.title, std::string("Select profile for source image"));
    QCOMPARE(first.filter, std::string("ICC Files (*.icc *.icm)"));

    window.choosers.fileAnswers.push_back(std::string("/somewhere/profiles/a.icc"));
    window.Click("browseSourceProfileButton");
    window.Click("browseSourceProfileButton");
    QCOMPARE(window.choosers.fileRequests.at(2).initialFolder, std::string("/somewhere/profiles/"));
    QCOMPARE(window.choosers.fileRequests.at(2).initialName,
             std::string("/somewhere/profiles/a.icc"));
    window.Click("browseDestProfileButton");
    QCOMPARE(window.choosers.fileRequests.at(3).initialFolder, m_sandbox->ColorFolder());
    QCOMPARE(window.choosers.fileRequests.at(3).title,
             std::string("Select profile for output image"));
}

void ConverterDlgTest::enterConvertsAndEscapeCloses() {
    MainWindow window;
    window.dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
    window.Edit("sourceImageEdit")->setFocus();
    QTest::keyClick(window.Edit("sourceImageEdit"), Qt::Key_Return);
    QCOMPARE(window.Texts(),
             std::vector<std::string>(
                 {"Both source and destination images and profiles must be specified"}));
    QVERIFY(window.dialog.isVisible());
    QTest::keyClick(&window.dialog, Qt::Key_Escape);
    QVERIFY(!window.dialog.isVisible());
    QCOMPARE(window.dialog.result(), int(QDialog::Rejected));
}

void ConverterDlgTest::helpAndAboutWindows() {
    MainWindow window;
    window.dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
    QString helpTitle;
    OnNextModal([&](QWidget* modal) {
        QVERIFY(qobject_cast<CHelpDlg*>(modal));
        helpTitle = modal->windowTitle();
    });
    window.Click("helpButton");
    QCOMPARE(helpTitle, QStringLiteral("Chromaport Help"));

    QAction* about = window.dialog.findChild<QAction*>(QStringLiteral("aboutAction"));
    QVERIFY(about);
    QCOMPARE(about->text(), QStringLiteral("&About Chromaport..."));
    QVERIFY(window.dialog.actions().contains(about));
    QCOMPARE(window.dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    // Ctrl+I wherever the focus is, here in a path field.
    window.dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window.dialog));
    window.Edit("destProfileEdit")->setFocus();
    QString version;
    OnNextModal([&](QWidget* modal) {
        QVERIFY(qobject_cast<CAboutDlg*>(modal));
        if (modal) {
            version = modal->findChild<QLabel*>(QStringLiteral("versionLabel"))->text();
        }
    });
    QTest::keyClick(window.Edit("destProfileEdit"), Qt::Key_I, Qt::ControlModifier);
    QVERIFY(version.startsWith(QStringLiteral("Chromaport version: ")));
}

void ConverterDlgTest::dropsPutLocalPathsInTheirFields() {
    const char* const fields[] = {"sourceImageEdit", "sourceProfileEdit", "destImageEdit",
                                  "destProfileEdit"};
    struct Case {
        const char* target; // a field, or null for the window itself
        bool folderMode;
        QStringList before; // the four fields, in the order above
        QStringList addresses;
        bool taken;
        QStringList after;
    };
    const QStringList empty = {"", "", "", ""};
    const Case cases[] = {
        {"sourceImageEdit",
         false,
         empty,
         {"file:///in/a b.tif"},
         true,
         {"/in/a b.tif", "", "", ""}},
        {"destImageEdit",
         true,
         {"", "", "/old/", ""},
         {"file:///out/"},
         true,
         {"", "", "/out/", ""}},
        {"destProfileEdit", false, empty, {"file:///p/x.icc"}, true, {"", "", "", "/p/x.icc"}},
        {"sourceImageEdit",
         false,
         {"typed", "", "", ""},
         {"https://example.com/a.tif"},
         false,
         {"typed", "", "", ""}},
        {"sourceImageEdit", false, empty, {"file://host/share/a.tif"}, false, empty},
        // Several files dropped on a field are placed as on the window.
        {"destProfileEdit",
         false,
         empty,
         {"file:///in/a.tif", "file:///p/s.icc"},
         true,
         {"/in/a.tif", "/p/s.icc", "", ""}},
        {nullptr,
         false,
         empty,
         {"file:///in/a.TIFF", "file:///p/s.icc", "file:///p/d.ICM"},
         true,
         {"/in/a.TIFF", "/p/s.icc", "", "/p/d.ICM"}},
        {nullptr,
         false,
         {"", "/p/s.icc", "", ""},
         {"file:///p/d.icc"},
         true,
         {"", "/p/s.icc", "", "/p/d.icc"}},
        {nullptr, true, empty, {"file:///in/a.tif"}, true, {"/in/", "", "", ""}},
        {nullptr, false, empty, {"file:///notes.txt"}, false, empty},
        {nullptr, false, empty, {"http://example.com/a.tif", "file:///p/s.icc"}, false, empty},
    };
    for (const Case& c : cases) {
        MainWindow window;
        if (c.folderMode) {
            QTest::mouseClick(window.Check("multipleFilesCheck"), Qt::LeftButton);
        }
        for (int i = 0; i < 4; ++i) {
            window.Edit(fields[i])->setText(c.before[i]);
        }
        QWidget* target = c.target ? static_cast<QWidget*>(window.Edit(c.target)) : &window.dialog;
        const QString what = c.addresses.join(QLatin1Char(' '));
        QVERIFY2(Drop(target, c.addresses) == c.taken, qPrintable(what));
        QStringList after;
        for (const char* field : fields) {
            after << window.Edit(field)->text();
        }
        QVERIFY2(after == c.after, qPrintable(what + QStringLiteral(": ") + after.join('|')));
    }
}

QTEST_MAIN(ConverterDlgTest)
#include "ConverterDlgTest.moc"
