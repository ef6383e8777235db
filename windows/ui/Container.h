#pragma once
// The preferences window: shows the three viewer preferences and stores them.
// It returns nothing to anyone: Save, Cancel and closing the window each end
// the process.

#include "windows/ui/DialogSupport.h"

#include <windows.h>

namespace tolv::ui {

class Container {
public:
    Container() = default;
    ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    // Creates the window, loads the settings into it, and shows it modeless,
    // centred on the screen, with the focus on ChSavePDF. Answers false when
    // the window cannot be created. The caller's message loop must hand its
    // messages to IsDialogMessageW so that Tab, Enter and Esc work.
    bool Show();

    HWND Window() const noexcept { return hwnd_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void ApplyDpi(UINT dpi);
    void PlaceControls();
    void SizeWindow(const RECT* suggested);
    void KeepTabStopOnSelectedOption();

    void Load();
    void CdSave_Click();
    void CdCancel_Click();
    void CdAbout_Click();
    void CheckBox_Click(HWND box);

    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;

    HWND Label1 = nullptr;
    HWND Frame1 = nullptr;
    HWND OpBrowser[2] = {nullptr, nullptr}; // 0 Google Chrome, 1 Microsoft Edge
    HWND ChSavePDF = nullptr;
    HWND ChFrame = nullptr;
    HWND Frame2 = nullptr;
    HWND CdAbout = nullptr;
    HWND CdSave = nullptr;
    HWND CdCancel = nullptr;

    UniqueFont font_;
    UniqueFont boldFont_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
};

} // namespace tolv::ui
