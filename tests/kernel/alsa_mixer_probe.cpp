// kr35-alsa-probe NAME: finds the sound card whose mixer name holds NAME, then,
// through the mixer model on the ALSA backend, reads the recording
// destination's mute switch, toggles it and puts it back. After each step it
// reads the card's capture switches straight from the kernel (control
// interface) and checks that the kernel holds what the model wrote.
// Prints "alsa probe: PASS" and exits 0 when every step holds.
#include <alsa/asoundlib.h>

#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "mixer/alsa/alsa_card.h"
#include "mixer/alsa/alsa_mixer.h"
#include "mixer/mixer_device.h"

namespace {

using namespace kr35;

// Every "... Capture Switch" element of the card: name -> channel values.
using KernelSwitches = std::map<std::string, std::vector<int>>;

KernelSwitches ReadKernelCaptureSwitches(int card) {
  KernelSwitches switches;
  snd_ctl_t* ctl = nullptr;
  if (snd_ctl_open(&ctl, ("hw:" + std::to_string(card)).c_str(), 0) < 0) return switches;
  snd_ctl_elem_list_t* list = nullptr;
  snd_ctl_elem_list_malloc(&list);
  snd_ctl_elem_list(ctl, list);
  snd_ctl_elem_list_alloc_space(list, snd_ctl_elem_list_get_count(list));
  snd_ctl_elem_list(ctl, list);
  for (unsigned i = 0; i < snd_ctl_elem_list_get_used(list); ++i) {
    const std::string_view name = snd_ctl_elem_list_get_name(list, i);
    if (!name.ends_with("Capture Switch")) continue;
    snd_ctl_elem_value_t* value = nullptr;
    snd_ctl_elem_info_t* info = nullptr;
    snd_ctl_elem_value_malloc(&value);
    snd_ctl_elem_info_malloc(&info);
    snd_ctl_elem_id_t* id = nullptr;
    snd_ctl_elem_id_malloc(&id);
    snd_ctl_elem_list_get_id(list, i, id);
    snd_ctl_elem_info_set_id(info, id);
    snd_ctl_elem_value_set_id(value, id);
    if (snd_ctl_elem_info(ctl, info) >= 0 && snd_ctl_elem_read(ctl, value) >= 0) {
      std::vector<int>& channels = switches[std::string(name)];
      for (unsigned c = 0; c < snd_ctl_elem_info_get_count(info); ++c) {
        channels.push_back(snd_ctl_elem_value_get_boolean(value, c));
      }
    }
    snd_ctl_elem_id_free(id);
    snd_ctl_elem_info_free(info);
    snd_ctl_elem_value_free(value);
  }
  snd_ctl_elem_list_free_space(list);
  snd_ctl_elem_list_free(list);
  snd_ctl_close(ctl);
  return switches;
}

void Print(const char* when, const KernelSwitches& switches) {
  for (const auto& [name, channels] : switches) {
    std::printf("kernel %s: %s =", when, name.c_str());
    for (int on : channels) std::printf(" %s", on ? "on" : "off");
    std::printf("\n");
  }
}

// The switches that differ between two readings.
std::vector<std::string> Changed(const KernelSwitches& before, const KernelSwitches& after) {
  std::vector<std::string> names;
  for (const auto& [name, channels] : after) {
    const auto it = before.find(name);
    if (it == before.end() || it->second != channels) names.push_back(name);
  }
  return names;
}

bool AllChannels(const std::vector<int>& channels, int on) {
  for (int value : channels) {
    if (value != on) return false;
  }
  return !channels.empty();
}

int Fail(const char* text) {
  std::printf("alsa probe: FAIL: %s\n", text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string wanted = argc > 1 ? argv[1] : "Dummy";
  AlsaMixer api;
  const std::vector<int> cards = ListSoundCards();
  std::printf("sound cards: %zu, mixer devices: %u\n", cards.size(), api.GetNumDevs());
  MixerDevice device(api);
  int card = -1;
  for (std::uint32_t i = 0; i < api.GetNumDevs() && i < cards.size(); ++i) {
    if (device.Open(i, nullptr) && device.ProductName().find(wanted) != std::string_view::npos) {
      card = cards[i];
      break;
    }
  }
  if (card < 0) return Fail("no mixer device with that name");
  std::printf("mixer device: %.*s (card %d)\n", static_cast<int>(device.ProductName().size()),
              device.ProductName().data(), card);

  MixerLine* recording = device.FindLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  if (recording == nullptr) return Fail("no recording destination");
  MixerControl* mute = recording->FindControl(MIXERCONTROL_CONTROLTYPE_MUTE);
  if (mute == nullptr) return Fail("the recording destination has no mute switch");
  std::printf("recording destination: %s, mute control: %s\n", recording->Info().szName,
              mute->Info().szName);

  const KernelSwitches initial = ReadKernelCaptureSwitches(card);
  Print("before", initial);
  const std::int32_t before = mute->GetValue();
  std::printf("mute read: %d\n", before);
  if (before != 0 && before != 1) return Fail("the mute switch cannot be read");

  const std::int32_t toggled = 1 - before;
  if (mute->SetValue(toggled) != 0) return Fail("the mute switch cannot be written");
  const KernelSwitches afterToggle = ReadKernelCaptureSwitches(card);
  Print("after toggle", afterToggle);
  std::printf("mute read back: %d\n", mute->GetValue());
  const std::vector<std::string> changed = Changed(initial, afterToggle);
  if (changed.size() != 1) return Fail("not exactly one capture switch changed in the kernel");
  // Mute on is the capture switch off on every channel.
  if (!AllChannels(afterToggle.at(changed[0]), toggled == 1 ? 0 : 1)) {
    return Fail("the kernel's capture switch does not match the mute written");
  }
  if (mute->GetValue() != toggled) return Fail("the model does not read back what it wrote");

  if (mute->SetValue(before) != 0) return Fail("the mute switch cannot be put back");
  const KernelSwitches restored = ReadKernelCaptureSwitches(card);
  Print("after restore", restored);
  if (restored != initial) return Fail("the kernel's capture switches were not put back");
  std::printf("alsa probe: PASS (%s follows the mute switch)\n", changed[0].c_str());
  return 0;
}
