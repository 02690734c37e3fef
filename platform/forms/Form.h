// The form runtime: a program-wide window built from a definition. Referring to the window or one
// of its controls loads it hidden and runs its load step; unloading runs the unload step and destroys
// the controls while the object's own fields live on.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Gui.h"

namespace platform {

class Form;

// One control of a loaded form, addressed by its index in the definition.
class Control {
public:
    Control(Form& form, int index) : form_(&form), index_(index) {}

    std::wstring Text() const;
    void SetText(std::wstring_view text);
    int Value() const;
    void SetValue(int value);

    float Left() const;
    float Top() const;
    float Width() const;
    float Height() const;
    void SetLeft(float twips);
    void SetTop(float twips);
    void SetWidth(float twips);
    void SetHeight(float twips);

    int Interval() const;
    void SetInterval(int ms);

    // A picture box's pixel; -1 outside the picture.
    std::int64_t Point(int x, int y) const;
    PicturePtr Picture() const;

private:
    Form* form_;
    int index_;
};

class Form : private WindowEvents {
public:
    Form(Gui& gui, const FormDef& def);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const FormDef& Definition() const { return def_; }
    Gui& GuiLayer() const { return gui_; }
    bool IsLoaded() const { return native_ != nullptr; }
    bool IsVisible() const { return native_ && native_->IsVisible(); }

    void Load();
    void Show();
    void Hide();
    void Unload();

    Control operator[](int index) { return Control(*this, index); }

    // Outer geometry in twips.
    float Left();
    float Top();
    float Width();
    float Height();
    void SetLeft(float twips);
    void SetTop(float twips);
    void SetWidth(float twips);
    void SetHeight(float twips);

    void MakeTopmost(bool alsoShow);
    void SetPicture(PicturePtr picture);
    void SetRegion(RegionHandle region, bool redraw);
    void BeginCaptionDrag();

    NativeWindow& Native();

protected:
    virtual void OnLoadStep() {}
    virtual void OnUnloadStep() {}
    virtual void OnControlClick(int /*control*/) {}
    virtual void OnTimerTick(int /*control*/) {}
    virtual void OnMouseDownEvent(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}

private:
    friend class Control;
    struct ControlState {
        TwipRect rect;
        int interval = 0;
        PicturePtr picture;
    };

    void OnClick(int control) override;
    void OnTimer(int control) override;
    void OnMouseDown(int button, int shift, float x, float y) override;
    void OnCloseRequest() override;

    ControlState& State(int index);
    void PushBounds(int index);
    PixelRect ToPixels(const TwipRect& rect) const;

    Gui& gui_;
    const FormDef& def_;
    std::unique_ptr<NativeWindow> native_;
    std::vector<ControlState> controls_;
};

// Runs an event handler; a run-time error it raises is reported and ends the program.
template <typename F>
void RunHandler(Gui& gui, F&& handler);

// Loads and caches a picture resource.
PicturePtr LoadPictureResource(Gui& gui, std::string_view name);

}  // namespace platform

#include "platform/forms/Form.inl"
