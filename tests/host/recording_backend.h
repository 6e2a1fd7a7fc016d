// A backend for host tests whose views write down, in order, what the toolkit
// asks of them: "changed <control>", "repaint <control>", "focus <control>",
// "form <caption>".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/toolkit.h"

namespace tarnvel::ui {

class RecordingBackend : public Backend {
 public:
  RecordingBackend() : previous_(CurrentBackend()) { SetBackend(this); }
  ~RecordingBackend() override { SetBackend(previous_); }

  std::vector<std::string> events;
  Insets insets{3, 22, 3, 3};
  int dpi = 96;

  std::unique_ptr<FormView> CreateView(Form& form) override {
    return std::make_unique<View>(*this, form);
  }
  Insets FrameInsets(const Form&) override { return insets; }
  int Dpi() override { return dpi; }

  // The events that start with `prefix`.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& e : events) {
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    }
    return out;
  }

 private:
  class View : public FormView {
   public:
    View(RecordingBackend& backend, Form& form) : backend_(backend), form_(form) {}
    void FormChanged() override { backend_.events.push_back("form " + form_.Caption()); }
    void ControlChanged(Control& c) override { backend_.events.push_back("changed " + c.Name()); }
    void RepaintNow(Control& c) override { backend_.events.push_back("repaint " + c.Name()); }
    void Focus(Control& c) override { backend_.events.push_back("focus " + c.Name()); }

   private:
    RecordingBackend& backend_;
    Form& form_;
  };

  Backend* previous_;
};

}  // namespace tarnvel::ui
