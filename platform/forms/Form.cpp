// The form runtime's window-independent half: loading, showing, unloading and the handlers' calls.
#include "platform/forms/Form.h"

#include <cmath>
#include <map>
#include <string>

namespace platform {

PicturePtr LoadPictureResource(Gui& gui, std::string_view name) {
    static std::map<std::string, PicturePtr, std::less<>> cache;
    if (auto it = cache.find(name); it != cache.end())
        return it->second;
    PicturePtr picture = DecodePicture(gui.LoadResource(name));
    cache.emplace(std::string(name), picture);
    return picture;
}

Form::Form(Gui& gui, const FormDef& def) : gui_(gui), def_(def) {}

Form::~Form() = default;

void Form::Load() {
    if (native_)
        return;
    controls_.assign(def_.controls.size(), {});
    for (size_t i = 0; i < def_.controls.size(); ++i) {
        const ControlDef& c = def_.controls[i];
        controls_[i].rect = c.rect;
        controls_[i].interval = c.interval;
        if (!c.picture.empty())
            controls_[i].picture = LoadPictureResource(gui_, c.picture);
    }
    native_ = gui_.CreateNativeWindow(def_, *this);
    if (!def_.picture.empty())
        native_->SetFormPicture(LoadPictureResource(gui_, def_.picture));
    for (size_t i = 0; i < def_.controls.size(); ++i) {
        if (controls_[i].picture)
            native_->SetPicture(int(i), controls_[i].picture);
        if (def_.controls[i].kind == ControlKind::Timer && controls_[i].interval > 0)
            native_->SetTimer(int(i), controls_[i].interval);
    }
    OnLoadStep();
}

void Form::Show() {
    Load();
    native_->Show();
}

void Form::Hide() {
    Load();
    native_->Hide();
}

void Form::Unload() {
    if (!native_)
        return;
    OnUnloadStep();
    native_.reset();
}

NativeWindow& Form::Native() {
    Load();
    return *native_;
}

PixelRect Form::ToPixels(const TwipRect& r) const {
    float tx = gui_.TwipsPerPixelX(), ty = gui_.TwipsPerPixelY();
    return {int(std::lround(r.left / tx)), int(std::lround(r.top / ty)), int(std::lround(r.width / tx)),
            int(std::lround(r.height / ty))};
}

float Form::Left() {
    return float(Native().Bounds().x) * gui_.TwipsPerPixelX();
}
float Form::Top() {
    return float(Native().Bounds().y) * gui_.TwipsPerPixelY();
}
float Form::Width() {
    return float(Native().Bounds().width) * gui_.TwipsPerPixelX();
}
float Form::Height() {
    return float(Native().Bounds().height) * gui_.TwipsPerPixelY();
}

void Form::SetLeft(float twips) {
    PixelRect b = Native().Bounds();
    native_->Move(int(std::lround(twips / gui_.TwipsPerPixelX())), b.y);
}
void Form::SetTop(float twips) {
    PixelRect b = Native().Bounds();
    native_->Move(b.x, int(std::lround(twips / gui_.TwipsPerPixelY())));
}
void Form::SetWidth(float twips) {
    PixelRect b = Native().Bounds();
    native_->Resize(int(std::lround(twips / gui_.TwipsPerPixelX())), b.height);
}
void Form::SetHeight(float twips) {
    PixelRect b = Native().Bounds();
    native_->Resize(b.width, int(std::lround(twips / gui_.TwipsPerPixelY())));
}

void Form::MakeTopmost(bool alsoShow) {
    Native().MakeTopmost(alsoShow);
}
void Form::SetPicture(PicturePtr picture) {
    Native().SetFormPicture(std::move(picture));
}
void Form::SetRegion(RegionHandle region, bool redraw) {
    Native().SetRegion(region, redraw);
}
void Form::BeginCaptionDrag() {
    Native().BeginCaptionDrag();
}

Form::ControlState& Form::State(int index) {
    Load();
    return controls_.at(size_t(index));
}

void Form::PushBounds(int index) {
    native_->SetControlBounds(index, ToPixels(controls_[size_t(index)].rect));
}

void Form::OnClick(int control) {
    RunHandler(gui_, [&] { OnControlClick(control); });
}
void Form::OnTimer(int control) {
    RunHandler(gui_, [&] { OnTimerTick(control); });
}
void Form::OnMouseDown(int button, int shift, float x, float y) {
    RunHandler(gui_, [&] { OnMouseDownEvent(button, shift, x, y); });
}
void Form::OnCloseRequest() {
    RunHandler(gui_, [&] { Unload(); });
}

// Controls

std::wstring Control::Text() const {
    return form_->Native().Text(index_);
}
void Control::SetText(std::wstring_view text) {
    form_->Native().SetText(index_, text);
}
int Control::Value() const {
    return form_->Native().Value(index_);
}
void Control::SetValue(int value) {
    form_->Native().SetValue(index_, value);
}

float Control::Left() const {
    return form_->State(index_).rect.left;
}
float Control::Top() const {
    return form_->State(index_).rect.top;
}
float Control::Width() const {
    return form_->State(index_).rect.width;
}
float Control::Height() const {
    return form_->State(index_).rect.height;
}
void Control::SetLeft(float twips) {
    form_->State(index_).rect.left = twips;
    form_->PushBounds(index_);
}
void Control::SetTop(float twips) {
    form_->State(index_).rect.top = twips;
    form_->PushBounds(index_);
}
void Control::SetWidth(float twips) {
    form_->State(index_).rect.width = twips;
    form_->PushBounds(index_);
}
void Control::SetHeight(float twips) {
    form_->State(index_).rect.height = twips;
    form_->PushBounds(index_);
}

int Control::Interval() const {
    return form_->State(index_).interval;
}
void Control::SetInterval(int ms) {
    form_->State(index_).interval = ms;
    form_->native_->SetTimer(index_, ms);
}

std::int64_t Control::Point(int x, int y) const {
    const PicturePtr& p = form_->State(index_).picture;
    if (!p || x < 0 || y < 0 || x >= p->width || y >= p->height)
        return -1;
    return p->At(x, y);
}

PicturePtr Control::Picture() const {
    return form_->State(index_).picture;
}

}  // namespace platform
