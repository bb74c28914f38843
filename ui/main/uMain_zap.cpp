// Zapping like a TV: Page Up/Down play the neighbours of the playing channel on the directory
// page the user came from, read from that page itself (the links the user sees, in their
// order), and Backspace goes back to the channel played before. Each goes the way a click on
// the channel's link goes.
#include <optional>

#include "common/contract.h"
#include "player_logic/link_command.h"
#include "ui/main/channel_zap.h"
#include "ui/main/uMain.h"

namespace zephra {

namespace {

constexpr const char* kPlayLinks = "a.play";
// The mark also finds the programme playing from a channel's archive; zapping walks channels only.
constexpr const char* kMarkedLinks = "a.play, a.archive";
constexpr const char* kPlayingClass = "playing";

struct PageChannel {
  std::string value;  // what the link plays
  std::string name;
};

std::vector<PageChannel> pageChannels(WebView& page) {
  std::vector<PageChannel> channels;
  for (PageLink& link : page.readLinks(kPlayLinks)) {
    const std::optional<LinkCommand> command = decodeLinkCommand(link.address);
    if (command && command->kind == contract::kPlayLink) channels.push_back({command->value, std::move(link.text)});
  }
  return channels;
}

}  // namespace

bool TfrmMain::zapChannel(int step) {
  const std::vector<PageChannel> channels = pageChannels(wbApp());
  std::vector<std::string> values;
  values.reserve(channels.size());
  for (const PageChannel& channel : channels) values.push_back(channel.value);
  const std::optional<std::size_t> target = zapTarget(values, CurrentUrl, step);
  if (!target) return false;
  const PageChannel& channel = channels[*target];
  playLinkValue(channel.value);
  m_openingName = channel.name;
  setStatusText(m_openingName);
  return true;
}

std::string TfrmMain::pageChannelName(const std::string& value) {
  for (const PageChannel& channel : pageChannels(wbApp()))
    if (channel.value == value) return channel.name;
  return {};
}

bool TfrmMain::playLastChannel() {
  if (PreviousUrl.empty()) return false;
  const std::string name = pageChannelName(PreviousUrl);
  const std::string previous = PreviousUrl;  // playing it makes the current channel the previous one
  playLinkValue(previous);
  m_openingName = name;
  if (!name.empty()) setStatusText(name);
  return true;
}

void TfrmMain::markPlayingChannel() {
  if (!CurrentUrl.empty()) wbApp().markLinks(kMarkedLinks, CurrentUrl, kPlayingClass);
}

}  // namespace zephra
