// The main window: its fields and folder mode, the checks before a run with their
// messages, what Convert hands to the run and how the run ends, the choosers and
// the folders kept for them, and the help, About and link commands. In the tables
// '~' stands for the test's scratch folder and '@' for the colour profile folder.

#include "Fakes.h"

namespace {

const char* const kFields[] = {"sourceImageEdit", "sourceProfileEdit", "destImageEdit",
                               "destProfileEdit"};
const char* const kBrowse[] = {"browseSourceImageButton", "browseSourceProfileButton",
                               "browseDestImageButton", "browseDestProfileButton"};

// The main window on screen with scripted boxes and choosers.
struct Window {
    QString dir; // the scratch folder
    FakeBoxes boxes;
    FakeChoosers choosers;
    CConverterDlg dialog{nullptr, &boxes, &choosers};

    explicit Window(const std::string& scratch) : dir(Q(scratch)) { dialog.show(); }
    template <class T = QWidget> T* Get(const char* name) { return dialog.findChild<T*>(name); }
    QComboBox* Intent() { return dialog.findChild<QComboBox*>(); }
    QCheckBox* Embed() { return Get<QCheckBox>("embedCheck"); }
    void Click(const char* name) { QTest::mouseClick(Get(name), Qt::LeftButton); }
    void SetFolderMode(bool on) {
        if (Get<QCheckBox>("multipleFilesCheck")->isChecked() != on)
            Click("multipleFilesCheck");
    }
    // The four path fields as "source|source profile|destination|destination profile".
    void Fill(QString fields) {
        for (int i = 0; i < 4; ++i)
            Get<QLineEdit>(kFields[i])->setText(fields.replace('~', dir).section('|', i, i));
    }
    // With '~' for the scratch folder and '@' for the colour profile folder.
    QString Tilde(QString text) {
        return text.replace(dir, "~").replace(qEnvironmentVariable("XDG_DATA_HOME") + "/icc", "@");
    }
    // The boxes shown so far, a line each, then the fields.
    QString Report() {
        QStringList fields;
        for (const char* field : kFields)
            fields << Get<QLineEdit>(field)->text();
        return Tilde((boxes.shown + QStringList{fields.join('|')}).join('\n'));
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    ts::Scratch m_home; // the settings, $HOME and the colour profile folder

private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           Q(m_home.mkdir("config")));
        setenv("HOME", m_home.mkdir("home").c_str(), 1);
        setenv("XDG_DATA_HOME", m_home.mkdir("data").c_str(), 1);
        m_home.mkdir("data/icc");
    }

    // Every case starts with nothing remembered.
    void init() {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Larkspur", "Chromaport").clear();
    }

    // A fresh window converts one image with Relative Colorimetric and no embedding.
    // Folder mode turns existing images into their folders and leaves anything else
    // as typed, both ways.
    void startAndFolderMode() {
        ts::Scratch s;
        s.mkdir("prints");
        ts::WriteBytes(s.file("scan.tif"), {1});
        Window w(s.path());
        QCOMPARE(w.Report() + w.Intent()->currentText() + QString::number(w.Embed()->isChecked()),
                 QString("|||Relative Colorimetric0"));
        const std::tuple<QString, bool, QString> steps[] = {
            // typed (or as it was), folder mode, the fields and the image fields' labels
            {"~/scan.tif|s|~/prints|d", true, "~/|s|~/prints/|d Source Folder/Destination Folder"},
            {"", false, "~/|s|~/prints/|d Source Image/Destination Image"},
            {"/no/a.tif|||/no/", true, "/no/a.tif|||/no/ Source Folder/Destination Folder"},
        };
        for (const auto& [typed, folders, fields] : steps) {
            if (!typed.isEmpty())
                w.Fill(typed);
            w.SetFolderMode(folders);
            QCOMPARE(w.Report() + " " + w.Get<QLabel>("sourceLabel")->text() + "/" +
                         w.Get<QLabel>("destLabel")->text(),
                     fields);
        }
    }

    // The checks before a run, in their order: the first that fails shows its
    // message over the window, nothing is run and every field stays as typed.
    void checksRefuseJobsInOrder() {
        ts::Scratch s;
        s.mkdir("dir");
        s.mkdir("made.tif");
        const QString missing = "Both source and destination %1 and profiles must be specified";
        const QString same = "Source and destination %1 are the same. Don't be dumb.";
        const QString folder = "Error: '%1' is a folder.";
        const QString otherSpelling = "~/../" + QFileInfo(Q(s.path())).fileName() + "/a";
        const std::tuple<bool, QString, QString> cases[] = {
            {false, "|s.icc|~/o.tif|d.icc", missing.arg("images")},
            {false, "~/a.tif||~/o.tif|d.icc", missing.arg("images")},
            {false, "~/a.tif|s.icc||d.icc", missing.arg("images")},
            {false, "~/a.tif|s.icc|~/o.tif|", missing.arg("images")},
            {false, "|s.icc|~/dir|d.icc", missing.arg("images")},
            {true, "~/dir/||~/out/|d.icc", missing.arg("folders")},
            {false, "~/a.tif|s.icc|~/out/|d.icc", folder.arg("~/out/")},
            {false, "~/a.tif|s.icc|~/dir|d.icc", folder.arg("~/dir")},
            {false, "~/made.tif|s.icc|~/made.jpeg|d.icc", folder.arg("~/made.jpeg")},
            {false, "~/a.tif|s.icc|~/a.jpg|d.icc", same.arg("images")},
            {false, "~/a.tif|s.icc|" + otherSpelling + "|d.icc", same.arg("images")},
            {true, "~/dir/|s.icc|~/dir|d.icc", same.arg("folders")},
        };
        for (const auto& [folders, fields, message] : cases) {
            Window w(s.path());
            w.SetFolderMode(folders);
            w.Fill(fields);
            w.Click("convertButton");
            QCOMPARE(w.Report(), "error CConverterDlg: " + message + "\n" + fields);
        }
    }

    // Convert hands the run what the window shows (the destination with ".tif",
    // the intent chosen, embedding, folder mode) and says how the run ended: one
    // that succeeded empties the destination field, one that failed keeps it, and
    // a Cancel in the status window stops the run before anything is written.
    void convertRunsTheJobShown() {
        ts::Scratch s;
        s.mkdir("in");
        s.mkdir("out");
        s.mkdir("mixed");
        s.mkdir("kept");
        QVERIFY(ts::WriteTiff(s.file("in/a.tif"), {}) && ts::WriteTiff(s.file("mixed/a.tif"), {}));
        QVERIFY(ts::WriteBytes(s.file("mixed/b.tif"), {'b'})); // skipped, said, and counted
        for (const char* icc : {"ghostscript/default_cmyk.icc", "sRGB.icc"})
            QVERIFY2(ts::MissingProfile(icc).empty(), ts::MissingProfile(icc).c_str());
        const ts::Bytes cmyk = ts::ReadBytes(ts::SystemProfile("ghostscript/default_cmyk.icc"));
        ts::WriteBytes(s.file("d.icc"), cmyk);
        ts::WriteBytes(s.file("s.icc"), ts::ReadBytes(ts::SystemProfile("sRGB.icc")));
        const QString done = "plain CConverterDlg: Profile conversion complete.\n";
        const std::tuple<bool, QString, bool, bool, QString, QString, std::string> cases[] = {
            // folder mode, intent, embedding, Cancel at once, the fields; the job run
            // (intent, embedding, folder mode last), the boxes and the fields after;
            // the image written when the run succeeds
            {false, "Perceptual ", true, false, "~/in/a.tif|~/s.icc|~/print.jpeg|~/d.icc",
             "~/in/a.tif|~/s.icc|~/print.tif|~/d.icc|110\n" + done + "~/in/a.tif|~/s.icc||~/d.icc",
             "print.tif"},
            {true, "Saturation", false, false, "~/in/|~/s.icc|~/out/|~/d.icc",
             "~/in/|~/s.icc|~/out/|~/d.icc|301\n" + done + "~/in/|~/s.icc||~/d.icc", "out/a.tif"},
            {true, "Saturation", false, false, "~/mixed/|~/s.icc|~/kept/|~/d.icc",
             "~/mixed/|~/s.icc|~/kept/|~/d.icc|301\nerror CConversionDlg: Invalid Tiff file - "
             "'~/mixed/b.tif' | '~/mixed/b.tif' is not a TIFF image.\nplain CConverterDlg: Profile "
             "conversion complete.\nConverted 1 of 2 "
             "images; 1 skipped.\n~/mixed/|~/s.icc||~/d.icc",
             "kept/a.tif"},
            {false, "Defined by Source Profile", false, true, "~/in/a.tif|~/s.icc|~/x|~/d.icc",
             "~/in/a.tif|~/s.icc|~/x.tif|~/d.icc|000\nerror CConverterDlg: Conversion "
             "cancelled.\n~/in/a.tif|~/s.icc|~/x.tif|~/d.icc",
             "x.tif"},
        };
        for (const auto& [folders, intent, embed, cancel, fields, report, output] : cases) {
            Window w(s.path());
            w.SetFolderMode(folders);
            w.Fill(fields);
            w.Intent()->setCurrentText(intent);
            w.Embed()->setChecked(embed);
            QString job = "no run\n";
            // Runs before the run's first report is taken, so a Cancel stops it at once.
            QTimer::singleShot(0, [&w, &job, cancel = cancel] {
                if (auto* r = w.dialog.findChild<CConversionDlg*>()) {
                    const JobSpec& j = r->Job();
                    job = Q(j.m_strSourceImage + "|" + j.m_strSourceProfile + "|" +
                            j.m_strDestImage + "|" + j.m_strDestProfile + "|" +
                            std::to_string(j.m_nIntent) + std::to_string(j.m_bEmbedProfile) +
                            std::to_string(j.m_bMultipleFiles) + "\n");
                    if (cancel)
                        QTest::mouseClick(r->findChild<QPushButton*>(), Qt::LeftButton);
                }
            });
            w.Click("convertButton");
            QCOMPARE(w.Tilde(job) + w.Report(), report);
            bool written = false;
            const ts::Tiff image = ts::ReadTiff(s.file(output), &written);
            QCOMPARE(written, !cancel);
            QVERIFY(image.icc == (embed ? cmyk : ts::Bytes()));
        }
    }

    // The choices beyond the paths reach the job as the tool's options set them, and the next
    // session's window shows them again with both profiles. An image converted from a source
    // profile other than its own is counted in the closing box; with "Use embedded profile"
    // the source profile may be left empty, or serves images without one.
    void choicesReachTheJobAndAreRemembered() {
        ts::Scratch s;
        s.mkdir("in");
        for (const char* icc :
             {"ghostscript/default_cmyk.icc", "sRGB.icc", "colord/AdobeRGB1998.icc"})
            QVERIFY2(ts::MissingProfile(icc).empty(), ts::MissingProfile(icc).c_str());
        ts::WriteBytes(s.file("d.icc"),
                       ts::ReadBytes(ts::SystemProfile("ghostscript/default_cmyk.icc")));
        ts::WriteBytes(s.file("s.icc"), ts::ReadBytes(ts::SystemProfile("sRGB.icc")));
        ts::Tiff tagged;
        tagged.icc = ts::ReadBytes(ts::SystemProfile("colord/AdobeRGB1998.icc"));
        QVERIFY(ts::WriteTiff(s.file("in/a.tif"), tagged));
        const QString done = "plain CConverterDlg: Profile conversion complete.";
        struct Case {
            bool useEmbedded, blackPoint, keep;
            QString intent, compression, depth, fields;
            QString job, boxes; // the job: source profile|embedded, BPC, metadata, compression,
                                // depth, intent
            uint16_t compressionCode, bits;
        };
        const Case cases[] = {
            {false, true, false, "Perceptual ", "LZW", "16-bit", "~/in/a.tif|~/s.icc|~/o1|~/d.icc",
             "~/s.icc|0 1 0 5 16 1",
             done + "\nOne image carries a profile of its own; it was converted from the source "
                    "profile, as asked.",
             5, 16},
            {true, false, true, "Absolute Colorimetric", "ZSTD", "8-bit",
             "~/in/a.tif||~/o2|~/d.icc", "|1 0 1 50000 8 4", done, 50000, 8},
            {true, true, false, "Relative Colorimetric", "Deflate", "As source",
             "~/in/a.tif|~/s.icc|~/o3|~/d.icc", "~/s.icc|1 1 0 8 0 2", done, 8, 8},
        };
        int n = 0;
        for (const Case& c : cases) {
            const QString out = QString("o%1.tif").arg(++n);
            {
                Window w(s.path());
                w.Fill(c.fields);
                w.Intent()->setCurrentText(c.intent);
                w.Get<QCheckBox>("useEmbeddedCheck")->setChecked(c.useEmbedded);
                w.Get<QCheckBox>("blackPointCheck")->setChecked(c.blackPoint);
                w.Get<QCheckBox>("keepMetadataCheck")->setChecked(c.keep);
                w.Get<QComboBox>("compressionCombo")->setCurrentText(c.compression);
                w.Get<QComboBox>("depthCombo")->setCurrentText(c.depth);
                // Compensation means nothing to absolute colorimetric.
                QCOMPARE(w.Get<QCheckBox>("blackPointCheck")->isEnabled(),
                         c.intent != "Absolute Colorimetric");
                QString job = "no run";
                QTimer::singleShot(0, [&w, &job] {
                    if (auto* r = w.dialog.findChild<CConversionDlg*>()) {
                        const JobSpec& j = r->Job();
                        job = Q(j.m_strSourceProfile + "|") + QString("%1 %2 %3 %4 %5 %6")
                                                                  .arg(j.m_bEmbeddedSourceProfile)
                                                                  .arg(j.m_bBlackPointCompensation)
                                                                  .arg(j.m_bKeepMetadata)
                                                                  .arg(int(j.m_nCompression))
                                                                  .arg(j.m_nOutputDepth)
                                                                  .arg(j.m_nIntent);
                    }
                });
                w.Click("convertButton");
                QCOMPARE(w.Tilde(job), c.job);
                QCOMPARE(w.boxes.shown.join('\n'), c.boxes);
                bool ok = false;
                const ts::Tiff got = ts::ReadTiff(s.file(out.toStdString()), &ok);
                QVERIFY(ok);
                QCOMPARE(got.compression, c.compressionCode);
                QCOMPARE(got.bits, c.bits);
                w.dialog.close();
            }
            // The next session.
            Window w(s.path());
            QStringList fields = c.fields.split('|');
            QCOMPARE(w.Tilde(w.Get<QLineEdit>("sourceProfileEdit")->text() + "|" +
                             w.Get<QLineEdit>("destProfileEdit")->text()),
                     fields[1] + "|" + fields[3]);
            QCOMPARE(w.Intent()->currentText(), c.intent);
            QCOMPARE(w.Get<QCheckBox>("useEmbeddedCheck")->isChecked(), c.useEmbedded);
            QCOMPARE(w.Get<QCheckBox>("blackPointCheck")->isChecked(), c.blackPoint);
            QCOMPARE(w.Get<QCheckBox>("keepMetadataCheck")->isChecked(), c.keep);
            QCOMPARE(w.Get<QComboBox>("compressionCombo")->currentText(), c.compression);
            QCOMPARE(w.Get<QComboBox>("depthCombo")->currentText(), c.depth);
        }
    }

    // What "Open with" passes: an image fills the source field (leaving folder mode), a folder
    // turns folder mode on with it as the source folder; a relative path is made absolute.
    void openWithAnImageOrAFolder() {
        ts::Scratch s;
        s.mkdir("in");
        QVERIFY(ts::WriteTiff(s.file("in/a.tif"), {}));
        const struct {
            QString path;
            bool folderBefore, folderAfter;
            QString field, label;
        } cases[] = {
            {"~/in/a.tif", true, false, "~/in/a.tif", "Source Image"},
            {"~/in", false, true, "~/in/", "Source Folder"},
            {"~/in/", true, true, "~/in/", "Source Folder"},
            {"in/a.tif", false, false, "~/in/a.tif", "Source Image"},
        };
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(Q(s.path()));
        for (const auto& c : cases) {
            Window w(s.path());
            w.SetFolderMode(c.folderBefore);
            w.dialog.OpenPath(QString(c.path).replace("~", w.dir).toStdString());
            QCOMPARE(w.Get<QCheckBox>("multipleFilesCheck")->isChecked(), c.folderAfter);
            QCOMPARE(w.Tilde(w.Get<QLineEdit>("sourceImageEdit")->text()), c.field);
            QCOMPARE(w.Get<QLabel>("sourceLabel")->text(), c.label);
        }
        QDir::setCurrent(cwd);
    }

    // Each "..." asks for the right thing (title, start folder, the name typed,
    // filters); the answer goes in its own field and everything else stays as
    // typed, also when the chooser is cancelled. Image folders are kept in the
    // settings from one session to the next (unless gone); profile folders only
    // while the window is open, starting at the colour profile folder.
    void choosersAskAndRemember() {
        ts::Scratch s;
        for (const char* folder : {"in", "out", "prints"})
            s.mkdir(folder);
        const QString typed = "/t/in.tif|/t/s.icc|/t/out.tif|/t/d.icc";
        const QString tif = "|TIF Files (*.tif *.tiff);;All files (*)|tif";
        const QString icc = "|ICC Files (*.icc *.icm)|icc";
        const QString source = "open|Select source image|", dest = "save|Specify output image|";
        const QString profile = "open|Select profile for source image|";
        const std::tuple<int, bool, int, QString, QString> steps[] = {
            // session, folder mode, field (and its "..."), answer, what was asked
            {1, false, 0, "~/in/a.tif", source + "|/t/in.tif" + tif},
            {1, false, 2, "~/out/b.tif", dest + "|/t/out.tif" + tif},
            {1, false, 1, "~/p/x.icc", profile + "@|/t/s.icc" + icc},
            {1, false, 1, "cancel", profile + "~/p/|~/p/x.icc" + icc},
            {1, false, 3, "cancel", "open|Select profile for output image|@|/t/d.icc" + icc},
            {1, true, 2, "~/prints/", "folder|Select destination folder|~/out/"},
            {2, false, 2, "cancel", dest + "~/prints/|/t/out.tif" + tif},
            {2, false, 1, "cancel", profile + "@|/t/s.icc" + icc},
            {2, true, 0, "cancel", "folder|Select folder to load images from|~/in/"},
            {3, false, 0, "cancel", source + "|/t/in.tif" + tif}, // "in" is gone
        };
        std::unique_ptr<Window> w;
        QStringList fields;
        int open = 0;
        for (const auto& [session, folders, field, answer, asked] : steps) {
            if (session != open) {
                if ((open = session) == 3)
                    QDir().rmdir(Q(s.file("in")));
                w = std::make_unique<Window>(s.path());
                w->Fill(typed);
                fields = typed.split('|');
                w->Intent()->setCurrentIndex(0);
                w->Embed()->setChecked(true);
            }
            w->SetFolderMode(folders);
            w->choosers.answers = {QString(answer).replace('~', w->dir)};
            w->Click(kBrowse[field]);
            QCOMPARE(w->Tilde(w->choosers.asked.takeLast()), asked);
            if (answer != "cancel")
                fields[field] = answer;
            QCOMPARE(w->Report(), fields.join('|'));
            QVERIFY(w->Intent()->currentIndex() == 0 && w->Embed()->isChecked());
        }
        QFile kept(Q(m_home.file("config/Larkspur/Chromaport.conf")));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(w->Tilde(kept.readAll()),
                 "[Image%20Folders]\nDestination%20Path=~/prints/\nSource%20Path=~/in/\n");
    }

    // Help opens the help window; Ctrl+I, wherever the focus is, the About window
    // with the date of the program file. The logo and the address open the
    // maker's site, and the address then shows it has been visited.
    void helpAboutAndLinks() {
        Window w(m_home.path());
        QVERIFY(QTest::qWaitForWindowActive(&w.dialog));
        QStringList seen;
        for (const bool help : {false, true}) {
            QTimer::singleShot(0, [&seen] {
                QWidget* shown = QApplication::activeModalWidget();
                seen << shown->windowTitle();
                for (const QLabel* label : shown->findChildren<QLabel*>("versionLabel"))
                    seen << label->text();
                shown->close();
            });
            if (help)
                w.Click("helpButton");
            else
                QTest::keyClick(w.Get("destProfileEdit"), Qt::Key_I, Qt::ControlModifier);
        }
        const QDateTime built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
        QCOMPARE(seen, (QStringList{"About Chromaport",
                                    "Chromaport version: " + built.toString("yyMMdd.HHmm"),
                                    "Chromaport Help"}));
        QString opened;
        for (const char* name : {"logoLink", "textLink"}) {
            // Takes the target down and says it opened.
            w.Get<CStaticLink>(name)->SetOpener([&opened](const std::string& target) {
                return !opened.append(Q(target)).isEmpty();
            });
            QTest::mouseClick(w.Get(name), Qt::LeftButton);
        }
        QCOMPARE(opened + w.Get("textLink")->palette().color(QPalette::WindowText).name(),
                 QString("https://larkspur.example/https://larkspur.example/#800080"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
