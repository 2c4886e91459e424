// The setup dialog: the only window of the program. It lays out and paints
// the skin, shows the welcome, progress and finish pages, answers the
// installation worker's reports and runs the finish actions.
#pragma once

#include "controls/ImageButton.h"
#include "controls/ImageCheckButton.h"
#include "controls/ImagePanel.h"
#include "controls/ImageSwitch.h"
#include "controls/NiceEdit.h"
#include "controls/RichStatic.h"
#include "controls/TextProgressCtrl.h"
#include "framework/DialogEx.h"
#include "framework/Handles.h"
#include "framework/Image.h"
#include "setup/DialogLayout.h"
#include "setup/SetupSession.h"

#include <optional>
#include <string>

class CQXTSetupDlg : public CDialogEx, public SetupSession {
public:
    // The operations of a run; the product passes the real ones.
    explicit CQXTSetupDlg(SetupOperations operations = RealSetupOperations());
    ~CQXTSetupDlg() override;

    // Set before DoModal from the command line: the folder the welcome page
    // offers instead of the default one (an existing installation keeps its
    // own), and whether the finish button starts the client.
    std::optional<std::wstring> m_strInitialFolder;
    bool m_bLaunchClient = true;

    static constexpr int kSwitchCount = dialog_layout::kSwitchCount;
    static constexpr UINT kRotationPeriodMs = 3000;

protected:
    void PreSubclassWindow() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Commands.
    void OnBnClickedMinimize();
    void OnBnClickedClose();
    void OnBnClickedStart();
    void OnBnClickedBrowse();
    void OnBnClickedCancelInstall();
    void OnBnClickedFinish();

    // Window messages.
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnLButtonDown(UINT flags, POINT point);
    BOOL OnEraseBkgnd(HDC dc);
    void OnTimer(UINT_PTR id);

    // Private messages of the switches and of the installation worker.
    LRESULT OnImageSwitchSelected(WPARAM wParam, LPARAM lParam);
    LRESULT OnImageSwitchHover(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetupBegin();
    LRESULT OnSetupComplete();
    LRESULT OnSetupError(WPARAM code, LPARAM detail);
    LRESULT OnSetupStep(WPARAM step, LPARAM ordinal);
    LRESULT OnDownloadFileIndex(WPARAM index, LPARAM count);
    LRESULT OnDownloadProgress(WPARAM position, LPARAM upper);
    LRESULT OnSetupStatusText(WPARAM text);
    LRESULT OnDownloadComplete();

private:
    // The image button with the given control id.
    CImageButton& ImageButton(UINT id);
    // The title strip and background at m_nDpi, and the window's size from them.
    void LoadBackground();
    // Gives one control its strip at m_nDpi and its place from the layout.
    void PlaceControl(const dialog_layout::ControlLayout& row);
    // The dialog moved to a screen of another scale: everything is laid out,
    // drawn and written again at the new DPI, at the place the system offers.
    LRESULT OnDpiChanged(UINT dpi, const RECT& suggested);
    // Lets the worker end at its next step boundary and waits for it,
    // delivering messages meanwhile; the status line says so.
    void WaitForWorkerToStop();

    // Refuses a folder whose paths would not fit the installation record.
    bool AcceptInstallFolder(const std::wstring& folder);

    HICON m_hIcon = nullptr;
    // The display scale the dialog is laid out and drawn at (96: 100 %).
    UINT m_nDpi = 96;
    // The template's font, made by the system for m_nFontDpi, and the copy
    // at m_nDpi the controls write with after a change of scale (empty
    // while the template's own fits).
    HFONT m_hTemplateFont = nullptr;
    UINT m_nFontDpi = 96;
    qxt::FontHandle m_font;
    int m_nWindowWidth = 0;
    int m_nWindowHeight = 0;
    CImage m_imgTitle;
    CImage m_imgBackground;
    CImageButton m_btnClose;
    CImageButton m_btnMinimize;
    CImageButton m_btnStart;
    CImageButton m_btnCancelInstall;
    CImageButton m_btnFinish;
    CNiceEdit m_editInstallPath;
    CImageButton m_btnBrowse;
    CTextProgressCtrl m_progress;
    CRichStatic m_staticStatus;
    CRichStatic m_staticCounter;
    CImageCheckButton m_checkAutorun;
    CImageCheckButton m_checkDesktopShortcut;
    CImageCheckButton m_checkProgramGroup;
    CImageSwitch m_switches[kSwitchCount];
    CImagePanel m_panel;
    CImage m_imgPictures[kSwitchCount];
    int m_nTimerId = 1;
    int m_nSwitchIndex = 2;
};
