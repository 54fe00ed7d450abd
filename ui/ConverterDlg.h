#pragma once
// The main window: source and destination images (or folders) with their
// colour profiles, the rendering intent, embedding and folder mode, and the
// Convert command that checks the job and runs it in the status window.

#include <QDialog>
#include <QIcon>

#include <memory>
#include <string>
#include <vector>

class CPathEdit;
class CStaticLink;
class IChoosers;
class IMessageBoxes;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QPushButton;
struct JobSpec;

class CConverterDlg : public QDialog {
    Q_OBJECT

public:
    // Without boxes or choosers the window uses the real ones.
    explicit CConverterDlg(QWidget* parent = nullptr, IMessageBoxes* boxes = nullptr,
                           IChoosers* choosers = nullptr);
    ~CConverterDlg() override;

    // Convert (the button or Enter); the window stays open.
    void accept() override;
    // A path the program was started with ("Open with"): an image becomes the
    // source image, a folder the source folder of folder mode.
    void OpenPath(const std::string& path);
    // Closing remembers the profiles and choices for the next session.
    void done(int result) override;

protected:
    // Files dropped on the window: a TIFF image goes to the source field, a
    // profile to the first empty profile field.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // One side of the image browse handlers.
    struct ImageSide;
    // One side of the profile browse handlers.
    struct ProfileSide;

    // The window's controls, made by the helpers below in the order they are
    // listed (the bottom row as the grid takes it), which is their stacking order.
    void CreateControls();
    void CreateLabels();
    void CreatePathFields();
    void CreateOptionControls();
    void CreateChoiceControls();
    void LayOutControls();
    QLayout* CreateOutputRow();
    QLayout* CreateBottomRow();
    void OrderTabs();
    void OnInitDialog();
    void SetToolTips();
    // Moves the held values to the controls, or back when saveAndValidate.
    void DoDataExchange(bool saveAndValidate);
    // The same for the choices beyond the paths and intent.
    void ExchangeChoices(bool saveAndValidate);
    // What the held choices ask of the job.
    void ApplyChoices(JobSpec& job) const;
    // The profiles and choices of the last session, or the defaults.
    void RestoreChoices();
    // Stores the profiles and choices shown for the next session.
    void RememberChoices();
    // R1 to R4: takes intent, embed and folder mode from the controls and
    // shows all held values again.
    void RefreshHeldValues();
    // Takes the four path fields' texts into the held values before a
    // chooser opens, so that the refresh after it shows what was typed.
    void TakePathTexts();

    void OnAboutBox();
    void OnBrowseSourceImage();
    void OnBrowseDestImage();
    void OnBrowseSourceProfile();
    void OnBrowseDestProfile();
    void OnHelpButton();
    void OnMultipleFiles();
    void BrowseImage(const ImageSide& side);
    void BrowseProfile(const ProfileSide& side);
    // Puts the dropped files in their fields, or only finds out whether any
    // of them has a place when !place.
    bool PlaceDroppedFiles(const std::vector<std::string>& paths, bool place);

    IMessageBoxes& m_boxes;
    std::unique_ptr<IChoosers> m_ownChoosers;
    IChoosers& m_choosers;

    QIcon m_hIcon;
    std::string m_strColorDirectory;
    // Held values
    std::string m_strSourceImage;
    std::string m_strDestImage;
    std::string m_strSourceProfile;
    std::string m_strDestProfile;
    int m_nIntent = 2;
    CStaticLink* m_logoLink = nullptr;
    CStaticLink* m_textLink = nullptr;
    int m_bEmbedProfile = 0;
    QCheckBox* m_embedCheck = nullptr;
    QComboBox* m_intentCombo = nullptr;
    QCheckBox* m_multipleFilesCheck = nullptr;
    int m_bMultipleFiles = 0;
    bool m_bUseEmbedded = false;
    bool m_bBlackPoint = false;
    bool m_bKeepMetadata = false;
    int m_nCompression = 0; // index in the window's list
    int m_nDepth = 0;       // index in the window's list: as source, 8, 16
    QCheckBox* m_useEmbeddedCheck = nullptr;
    QCheckBox* m_blackPointCheck = nullptr;
    QCheckBox* m_keepMetadataCheck = nullptr;
    QComboBox* m_compressionCombo = nullptr;
    QComboBox* m_depthCombo = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QLabel* m_destLabel = nullptr;
    CPathEdit* m_sourceImageEdit = nullptr;
    CPathEdit* m_destImageEdit = nullptr;
    // The other controls
    CPathEdit* m_sourceProfileEdit = nullptr;
    CPathEdit* m_destProfileEdit = nullptr;
    QPushButton* m_browseSourceImageButton = nullptr;
    QPushButton* m_browseSourceProfileButton = nullptr;
    QPushButton* m_browseDestImageButton = nullptr;
    QPushButton* m_browseDestProfileButton = nullptr;
    QPushButton* m_convertButton = nullptr;
    QPushButton* m_quitButton = nullptr;
    QPushButton* m_helpButton = nullptr;
    QLabel* m_sourceProfileLabel = nullptr;
    QLabel* m_destProfileLabel = nullptr;
    QLabel* m_intentLabel = nullptr;
    // The folders the profile choosers last used; they start at the colour
    // profile folder and are not kept between runs of the program.
    std::string m_strSourceProfileFolder;
    std::string m_strDestProfileFolder;
};
