// The recording file on its own: each report line is complete in the file as
// soon as the call it records returns, while the recording is still open (so
// a crash right after loses nothing), with every byte value in its hex.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hid/fake_hid_backend.h"
#include "record/session_recorder.h"

namespace kr35 {
namespace {

std::string LastLineWithoutTime(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.empty() || text.back() != '\n') return "unfinished: " + text;
  text.pop_back();
  std::string line = text.substr(text.rfind('\n') + 1);
  const auto event = line.find(",\"event\"");
  return event == std::string::npos ? line : "{" + line.substr(event + 1);
}

TEST(RecordingFileTest, EachWriteLineIsInTheFileWhenTheWriteReturns) {
  const auto path = std::filesystem::temp_directory_path() / "kr35_recording_file_test.jsonl";
  test::FakeHidBackend device({test::AdapterDevice()});
  device.ScriptWriteResults({true, false});
  std::string error;
  auto file = RecordingFile::Create(path.string(), "test", error);
  ASSERT_TRUE(file) << error;
  RecordingHidBackend recording(device, file);
  auto writer = recording.OpenWrite("adapter");
  ASSERT_TRUE(writer);

  std::vector<std::uint8_t> everyByte(256);
  std::string everyByteHex;
  for (int i = 0; i < 256; ++i) {
    everyByte[i] = static_cast<std::uint8_t>(i);
    everyByteHex += "0123456789abcdef"[i >> 4];
    everyByteHex += "0123456789abcdef"[i & 15];
  }
  const struct {
    std::vector<std::uint8_t> report;
    bool ok;
    std::string line;
  } cases[] = {
      {everyByte, true,
       R"({"event":"write","writer":1,"report":")" + everyByteHex + R"(","ok":true})"},
      {{0x03, 0x1C}, false, R"({"event":"write","writer":1,"report":"031c","ok":false})"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(writer->Write(c.report), c.ok);
    EXPECT_EQ(LastLineWithoutTime(path), c.line);
  }
  writer.reset();
  file.reset();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace kr35
