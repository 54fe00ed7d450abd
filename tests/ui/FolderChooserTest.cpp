// The folder chooser of folder mode: its look, the Current Folder box following
// the folder browsed, and every way "Select" can end.

#include <QtTest>

#include "Fakes.h"
#include "SelectFolderDialog.h"
#include "Support.h"

namespace {

// The chooser on screen, opened in `start`, with scripted boxes.
struct Chooser {
    FakeBoxes boxes;
    CSelectFolderDialog dialog;

    explicit Chooser(const std::string& start) : dialog(false, start, "*.tif", nullptr, boxes) {
        dialog.show();
    }
    QLineEdit* Box() { return dialog.findChild<QLineEdit*>("folderEdit"); }
    QPushButton* Button(int which) {
        return dialog.findChild<QDialogButtonBox*>()->button(
            QDialogButtonBox::StandardButton(which));
    }
};

} // namespace

class FolderChooserTest : public QObject {
    Q_OBJECT

private slots:
    // It lists folders only; the box starts with the folder given and shows the
    // folder entered.
    void looksAndFollowsBrowsing() {
        ts::Scratch s;
        s.mkdir("sub");
        ts::WriteBytes(s.file("a.tif"), {1});
        Chooser c(s.path());
        c.dialog.SetTitle("Select destination folder");
        QCOMPARE(c.dialog.windowTitle() + "|" + c.Button(QDialogButtonBox::Open)->text() + "|" +
                     c.dialog.findChild<QLabel*>("fileNameLabel")->text() + "|" + c.Box()->text(),
                 "Select destination folder|Select|Current Folder|" + Q(s.path()));
        auto* list = c.dialog.findChild<QListView*>("listView");
        QTRY_VERIFY(list->model()->rowCount(list->rootIndex()) > 0);
        QCOMPARE(list->model()->rowCount(list->rootIndex()), 1);
        list->setCurrentIndex(list->model()->index(0, 0, list->rootIndex()));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(c.Box()->text(), Q(s.file("sub")));
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
        const auto yes = IMessageBoxes::Answer::Yes, no = IMessageBoxes::Answer::No;
        const std::tuple<QString, IMessageBoxes::Answer, QString, QString, bool> cases[] = {
            // typed, answer to a question, folder chosen, boxes shown, the folder is there
            {photos, no, photos + "/", "", true},
            {photos + "/", no, photos + "/", "", true},
            {"photos", no, photos + "/", "", true}, // inside the folder browsed
            {"", no, d + "/", "", true},            // the folder browsed
            {"/", no, "/", "", true},
            {"//server/share", no, "", invalid, false},
            {d + "//photos", no, "", invalid, false},
            {d + "/image.tif", no, "", invalid, false},
            {d + "/new/deeper/", yes, d + "/new/deeper/", ask.arg(d + "/new/deeper"), true},
            {d + "/later", no, d + "/later/", ask.arg(d + "/later"), false},
            {d + "/plain/inside", yes, "",
             ask.arg(d + "/plain/inside") +
                 "\nplain CSelectFolderDialog: Could not create folder:\n" + d + "/plain/inside",
             false},
        };
        for (const auto& [typed, answer, chosen, shown, there] : cases) {
            Chooser c(s.path());
            c.boxes.answer = answer;
            c.Box()->setText(typed);
            c.Button(QDialogButtonBox::Open)->click();
            QCOMPARE(Q(c.dialog.GetSelectedFolder()) + "|" + c.boxes.shown.join('\n'),
                     chosen + "|" + shown);
            QCOMPARE(c.dialog.isVisible(), chosen.isEmpty());
            QCOMPARE(QFileInfo(chosen).isDir(), there);
        }
    }
};

QTEST_MAIN(FolderChooserTest)
#include "FolderChooserTest.moc"
