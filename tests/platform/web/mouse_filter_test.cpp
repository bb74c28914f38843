// The right-button filter on real browsers: which button events it keeps from a view, and what a
// page sees of real clicks with and without it.
#include <string>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "platform/mouse_filter.h"
#include "tests/platform/web/web_test_support.h"
#include "tests/support/loopback_server.h"
#include "tests/support/wx_test_util.h"

namespace zephra::test {
namespace {

using namespace std::chrono_literals;

// Sees the button events that reach a widget after the filter; ends their emission so the
// synthetic events never go further.
struct Probe {
  explicit Probe(GtkWidget* widget) : widget(widget) {
    press = g_signal_connect(widget, "button-press-event", G_CALLBACK(&Probe::seen), this);
    release = g_signal_connect(widget, "button-release-event", G_CALLBACK(&Probe::seen), this);
  }
  ~Probe() {
    g_signal_handler_disconnect(widget, press);
    g_signal_handler_disconnect(widget, release);
  }
  static gboolean seen(GtkWidget*, GdkEventButton*, gpointer self) {
    ++static_cast<Probe*>(self)->count;
    return TRUE;
  }

  // Sends one button event to the widget; true when it got past the filter.
  bool passes(GdkEventType type, guint button) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
    event->button.button = button;
    event->button.send_event = TRUE;
    const int before = count;
    gboolean handled = FALSE;
    g_signal_emit_by_name(widget, type == GDK_BUTTON_RELEASE ? "button-release-event"
                                                             : "button-press-event",
                          event, &handled);
    gdk_event_free(event);
    return count > before;
  }

  GtkWidget* widget;
  gulong press = 0, release = 0;
  int count = 0;
};

GtkWidget* gtkWidgetOf(BrowserHost& host) {
  return GTK_WIDGET(host.native().GetNativeBackend());
}

class MouseFilterTest : public ::testing::Test {
 protected:
  void TearDown() override { MouseFilter::remove(); }
};

TEST_F(MouseFilterTest, KeepsOnlyPlainRightPressAndReleaseFromWebViews) {
  BrowserHost host;
  ASSERT_TRUE(MouseFilter::install());
  ASSERT_TRUE(MouseFilter::installed());
  Probe probe(gtkWidgetOf(host));
  struct Case {
    GdkEventType type;
    guint button;
    bool passes;
  } const cases[] = {
      {GDK_BUTTON_PRESS, 3, false},  {GDK_BUTTON_RELEASE, 3, false},
      {GDK_2BUTTON_PRESS, 3, true},  {GDK_3BUTTON_PRESS, 3, true},
      {GDK_BUTTON_PRESS, 1, true},   {GDK_BUTTON_RELEASE, 1, true},
      {GDK_BUTTON_PRESS, 2, true},   {GDK_BUTTON_RELEASE, 2, true},
      {GDK_BUTTON_PRESS, 8, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " button " << c.button);
    EXPECT_EQ(probe.passes(c.type, c.button), c.passes);
  }
}

TEST_F(MouseFilterTest, OtherWidgetsKeepTheRightButton) {
  BrowserHost host;
  ASSERT_TRUE(MouseFilter::install());
  Probe frameProbe(GTK_WIDGET(host.frame->GetHandle()));
  EXPECT_TRUE(frameProbe.passes(GDK_BUTTON_PRESS, 3));
  EXPECT_TRUE(frameProbe.passes(GDK_BUTTON_RELEASE, 3));
}

TEST_F(MouseFilterTest, CoversViewsMadeAfterInstallAndRemoveRestoresAll) {
  BrowserHost before(0, 0, 300, 200);
  ASSERT_TRUE(MouseFilter::install());
  EXPECT_TRUE(MouseFilter::install());  // a second install changes nothing
  BrowserHost after(320, 0, 300, 200);
  pumpFor(50ms);
  Probe first(gtkWidgetOf(before)), second(gtkWidgetOf(after));
  EXPECT_FALSE(first.passes(GDK_BUTTON_PRESS, 3));
  EXPECT_FALSE(second.passes(GDK_BUTTON_PRESS, 3));

  MouseFilter::remove();
  EXPECT_FALSE(MouseFilter::installed());
  EXPECT_TRUE(first.passes(GDK_BUTTON_PRESS, 3));
  EXPECT_TRUE(second.passes(GDK_BUTTON_PRESS, 3));
  MouseFilter::remove();  // harmless when not installed

  BrowserHost later(0, 220, 300, 200);
  pumpFor(50ms);
  Probe third(gtkWidgetOf(later));
  EXPECT_TRUE(third.passes(GDK_BUTTON_PRESS, 3));
}

TEST_F(MouseFilterTest, ViewDestroyedWhileInstalledIsForgotten) {
  ASSERT_TRUE(MouseFilter::install());
  { BrowserHost shortLived; }
  // Removing must not touch the destroyed view.
  MouseFilter::remove();
  BrowserHost host;
  EXPECT_TRUE(MouseFilter::install());
  Probe probe(gtkWidgetOf(host));
  EXPECT_FALSE(probe.passes(GDK_BUTTON_PRESS, 3));
}

// A page that writes the mouse events it sees into its reply element.
const char kRecorderPage[] =
    "<input id=\"retVal\" value=\"\" style=\"position:absolute;left:0;top:0\">"
    "<div style=\"position:absolute;left:0;top:40px;width:600px;height:400px\"></div>"
    "<script>function log(t){document.getElementById('retVal').value+=t+' ';}"
    "document.addEventListener('mousedown',function(e){log('down'+e.button);});"
    "document.addEventListener('mouseup',function(e){log('up'+e.button);});"
    "document.addEventListener('contextmenu',function(e){log('menu');e.preventDefault();});"
    "</script>";

TEST_F(MouseFilterTest, PageSeesNoRealRightClickWhileInstalled) {
  LoopbackServer server;
  server.http().set_keep_alive_max_count(1);  // stopping never waits for idle connections
  server.http().Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(page(kRecorderPage), "text/html");
  });
  server.start();
  BrowserHost host;
  ASSERT_TRUE(host.load(server.base()));
  pumpFor(200ms);
  const wxPoint inside = host.screen(300, 250);
  const auto logContains = [&](const std::string& text) {
    return host.view->readElementValue("retVal").find(text) != std::string::npos;
  };

  ASSERT_TRUE(MouseFilter::install());
  ASSERT_TRUE(clickAt(inside, 3));
  ASSERT_TRUE(clickAt(inside, 1));
  ASSERT_TRUE(pumpUntil([&] { return logContains("up0"); }, 5s));
  EXPECT_EQ(host.view->readElementValue("retVal"), "down0 up0 ");

  MouseFilter::remove();
  ASSERT_TRUE(clickAt(inside, 3));
  EXPECT_TRUE(pumpUntil([&] { return logContains("menu"); }, 5s));
  EXPECT_TRUE(logContains("down2"));
}

}  // namespace
}  // namespace zephra::test
