#include "ui/controls/graphic_control.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/panel.h>

namespace zephra {
namespace {

using Log = std::vector<std::string>;

// Records what the host tells it; can be told to fail when the pointer leaves.
class Probe : public GraphicControl {
 public:
  Probe(GraphicHost& host, std::string name, Log& log, wxRect bounds, wxColour colour = *wxRED)
      : GraphicControl(host), m_name(std::move(name)), m_log(log), m_colour(colour) {
    setBounds(bounds.x, bounds.y, bounds.width, bounds.height);
  }
  void paint(wxDC& dc) override {
    dc.SetBrush(wxBrush(m_colour));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(0, 0, 1000, 1000);  // the host's clipping keeps it inside the bounds
  }
  void mouseEnter() override { m_log.push_back("enter " + m_name); }
  void mouseLeave() override {
    m_log.push_back("leave " + m_name);
    if (failOnLeave) throw std::runtime_error("leave failed");
  }
  void leftButtonDown() override { m_log.push_back("press " + m_name); }
  bool failOnLeave = false;

 private:
  std::string m_name;
  Log& m_log;
  wxColour m_colour;
};

class GraphicHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_frame = new wxFrame(nullptr, wxID_ANY, "host", wxDefaultPosition, wxSize(200, 150));
    m_host = std::make_unique<GraphicHost>(m_frame);
  }
  void TearDown() override {
    m_probes.clear();
    m_host.reset();
    if (m_frame) m_frame->Destroy();
  }
  Probe& add(const std::string& name, wxRect bounds, wxColour colour = *wxRED) {
    m_probes.push_back(std::make_unique<Probe>(*m_host, name, m_log, bounds, colour));
    return *m_probes.back();
  }
  void send(wxEventType type, wxPoint at) {
    wxMouseEvent event(type);
    event.SetPosition(at);
    event.SetEventObject(m_frame);
    m_frame->GetEventHandler()->ProcessEvent(event);
  }

  wxFrame* m_frame = nullptr;
  std::unique_ptr<GraphicHost> m_host;
  std::vector<std::unique_ptr<Probe>> m_probes;
  Log m_log;
};

TEST_F(GraphicHostTest, PressGoesToTheTopmostVisibleEnabledControl) {
  add("bottom", wxRect(0, 0, 50, 50));
  Probe& middle = add("middle", wxRect(10, 10, 30, 30));
  Probe& top = add("top", wxRect(20, 20, 10, 10));
  send(wxEVT_LEFT_DOWN, wxPoint(25, 25));
  top.setEnabled(false);  // a disabled control lets the press through
  send(wxEVT_LEFT_DOWN, wxPoint(25, 25));
  middle.hide();
  send(wxEVT_LEFT_DOWN, wxPoint(25, 25));
  send(wxEVT_LEFT_DOWN, wxPoint(100, 100));  // nothing there
  EXPECT_EQ((Log{"press top", "press middle", "press bottom"}), m_log);
  EXPECT_EQ(&top, m_host->controlAt(wxPoint(25, 25), false));
}

TEST_F(GraphicHostTest, DoubleClickIsNotAPress) {
  add("button", wxRect(0, 0, 50, 50));
  send(wxEVT_LEFT_DOWN, wxPoint(5, 5));
  send(wxEVT_LEFT_DCLICK, wxPoint(5, 5));
  EXPECT_EQ((Log{"press button"}), m_log);
}

TEST_F(GraphicHostTest, OldControlLeavesBeforeTheNewOneIsEntered) {
  add("a", wxRect(0, 0, 20, 20));
  Probe& b = add("b", wxRect(15, 0, 20, 20));
  b.setEnabled(false);  // disabled controls still see the pointer
  m_host->updateHover(wxPoint(5, 5));
  m_host->updateHover(wxPoint(6, 6));  // same control: nothing new
  m_host->updateHover(wxPoint(17, 5));
  m_host->updateHover(wxPoint(100, 100));
  EXPECT_EQ((Log{"enter a", "leave a", "enter b", "leave b"}), m_log);
  EXPECT_EQ(nullptr, m_host->hovered());
}

TEST_F(GraphicHostTest, HiddenControlIsLeftAtTheNextCheck) {
  Probe& a = add("a", wxRect(0, 0, 20, 20));
  m_host->updateHover(wxPoint(5, 5));
  a.hide();
  m_host->updateHover(wxPoint(5, 5));
  EXPECT_EQ((Log{"enter a", "leave a"}), m_log);
}

TEST_F(GraphicHostTest, FailingLeaveStillEntersTheNewControlAndIsNotRepeated) {
  Probe& a = add("a", wxRect(0, 0, 20, 20));
  add("b", wxRect(30, 0, 20, 20));
  m_host->updateHover(wxPoint(5, 5));
  a.failOnLeave = true;
  EXPECT_THROW(m_host->updateHover(wxPoint(35, 5)), std::runtime_error);
  m_host->updateHover(wxPoint(35, 5));
  EXPECT_EQ((Log{"enter a", "leave a", "enter b"}), m_log);
}

TEST_F(GraphicHostTest, ControlsPaintBottomFirstClippedToTheirBounds) {
  add("bottom", wxRect(0, 0, 20, 20), *wxRED);
  add("top", wxRect(10, 10, 20, 20), *wxBLUE);
  wxBitmap target(40, 40, 24);
  {
    wxMemoryDC dc(target);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    m_host->paintControls(dc);
  }
  const wxImage image = target.ConvertToImage();
  auto at = [&](int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
  };
  EXPECT_EQ(*wxRED, at(5, 5));
  EXPECT_EQ(*wxBLUE, at(15, 15));
  EXPECT_EQ(*wxBLUE, at(29, 29));
  EXPECT_EQ(*wxBLACK, at(30, 30));
  EXPECT_EQ(*wxBLACK, at(25, 5));
}

TEST_F(GraphicHostTest, HostDestroyedBeforeItsControls) {
  Probe& a = add("a", wxRect(0, 0, 20, 20));
  m_host->updateHover(wxPoint(5, 5));
  m_host.reset();
  a.setBounds(1, 1, 5, 5);
  a.invalidate();
  a.hide();
  m_probes.clear();  // must not reach the gone host
  EXPECT_EQ((Log{"enter a"}), m_log);
}

TEST_F(GraphicHostTest, WindowDestroyedBeforeHostAndControls) {
  Probe& a = add("a", wxRect(0, 0, 20, 20));
  delete m_frame;
  m_frame = nullptr;
  EXPECT_EQ(nullptr, m_host->window());
  a.invalidate();
  m_host->updateHover(wxPoint(5, 5));
  m_probes.clear();
  m_host.reset();
}

TEST_F(GraphicHostTest, DestroyedHoveredControlGetsNoLeave) {
  add("a", wxRect(0, 0, 20, 20));
  m_host->updateHover(wxPoint(5, 5));
  m_probes.clear();
  EXPECT_EQ(nullptr, m_host->hovered());
  m_host->updateHover(wxPoint(50, 50));
  EXPECT_EQ((Log{"enter a"}), m_log);
}

}  // namespace
}  // namespace zephra
