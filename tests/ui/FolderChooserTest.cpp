// The folder chooser of folder mode: the Current Folder box following the folder
// browsed, and every way "Select" can end.

#include "Fakes.h"

namespace {

// The chooser on screen, opened in `start`, with scripted boxes.
struct Chooser {
    FakeBoxes boxes;
    CSelectFolderDialog dialog;

    explicit Chooser(const std::string& start) : dialog(false, start, "*.tif", nullptr, boxes) {
        dialog.show();
    }
    QLineEdit* Box() { return dialog.findChild<QLineEdit*>("folderEdit"); }
};

} // namespace

class FolderChooserTest : public QObject {
    Q_OBJECT

private slots:
    // The Current Folder box starts with the folder given and follows the folder
    // entered in the list.
    void boxFollowsBrowsing() {
        ts::Scratch s;
        s.mkdir("sub");
        Chooser c(s.path());
        QCOMPARE(c.Box()->text(), Q(s.path()));
        auto* list = c.dialog.findChild<QListView*>("listView");
        QTRY_VERIFY(list->model()->rowCount(list->rootIndex()) > 0);
        list->setCurrentIndex(list->model()->index(0, 0, list->rootIndex()));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(c.Box()->text(), Q(s.file("sub")));
    }

    // With nothing typed, "Select" takes the folder highlighted in the list, an old one or
    // one just made with New Folder, and the folder browsed when none is; a typed path
    // wins over a highlighted folder.
    void selectTakesTheHighlightedFolder() {
        ts::Scratch s;
        s.mkdir("old");
        const QString d = Q(s.path());
        const std::tuple<QString, QString, QString> cases[] = {
            // highlighted ("new": made with New Folder), typed; folder chosen
            {"old", "", d + "/old/"},
            {"new", "", d + "/New Folder/"},
            {"", "", d + "/"},
            {"old", d + "/typed", d + "/typed/"},
        };
        for (const auto& [highlighted, typed, chosen] : cases) {
            Chooser c(s.path());
            c.boxes.answer = IMessageBoxes::Answer::Yes;
            auto* list = c.dialog.findChild<QListView*>("listView");
            QTRY_VERIFY(list->model()->rowCount(list->rootIndex()) > 0);
            if (highlighted == "new") {
                QTest::mouseClick(c.dialog.findChild<QToolButton*>("newFolderButton"),
                                  Qt::LeftButton);
                QTRY_VERIFY(QFileInfo(d + "/New Folder").isDir());
            } else if (!highlighted.isEmpty()) {
                c.dialog.selectFile(d + "/" + highlighted);
            }
            if (!typed.isEmpty())
                c.Box()->setText(typed);
            c.dialog.accept();
            QCOMPARE(Q(c.dialog.GetSelectedFolder()), chosen);
            QDir(d + "/New Folder").removeRecursively();
        }
    }

    // "Select" ends with the folder and one '/', offering to create a missing one,
    // or stays open with a message.
    void selectChecksTheFolder() {
        ts::Scratch s;
        const QString d = Q(s.path()), photos = d + "/photos";
        s.mkdir("photos");
        ts::WriteBytes(s.file("image.tif"), {1});
        ts::WriteBytes(s.file("plain"), {1});
        const QString invalid = "error CSelectFolderDialog: Invalid Folder";
        const QString ask = "question yes/no CSelectFolderDialog: %1\n\nThis path does not "
                            "exist. Do you want to create it?";
        const std::tuple<QString, bool, QString, QString, bool> cases[] = {
            // typed, "yes" to a question, folder chosen, boxes shown, the folder is there
            {photos, false, photos + "/", "", true},
            {photos + "/", false, photos + "/", "", true},
            {"photos", false, photos + "/", "", true}, // inside the folder browsed
            {"", false, d + "/", "", true},            // the folder browsed
            {"/", false, "/", "", true},
            {"//server/share", false, "", invalid, false},
            {d + "//photos", false, "", invalid, false},
            {d + "/image.tif", false, "", invalid, false},
            {d + "/new/deeper/", true, d + "/new/deeper/", ask.arg(d + "/new/deeper"), true},
            {d + "/later", false, d + "/later/", ask.arg(d + "/later"), false},
            {d + "/plain/inside", true, "",
             ask.arg(d + "/plain/inside") +
                 "\nplain CSelectFolderDialog: Could not create folder:\n" + d + "/plain/inside",
             false},
        };
        for (const auto& [typed, yes, chosen, shown, there] : cases) {
            Chooser c(s.path());
            c.boxes.answer = yes ? IMessageBoxes::Answer::Yes : IMessageBoxes::Answer::No;
            c.Box()->setText(typed);
            c.dialog.accept(); // what "Select" does
            QCOMPARE(Q(c.dialog.GetSelectedFolder()) + "|" + c.boxes.shown.join('\n'),
                     chosen + "|" + shown);
            QCOMPARE(c.dialog.isVisible(), chosen.isEmpty());
            QCOMPARE(QFileInfo(chosen).isDir(), there);
        }
    }
};

QTEST_MAIN(FolderChooserTest)
#include "FolderChooserTest.moc"
