// Random sequences of string operations, checked step by step against
// std::wstring as the model. A fixed seed keeps runs repeatable; set
// MENDORA_STRING_ITERATIONS to run longer.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/GuardedString.h"
#include "base/PathString.h"

namespace {

int Iterations() {
  const char* requested = std::getenv("MENDORA_STRING_ITERATIONS");
  return requested != nullptr ? std::atoi(requested) : 100000;
}

struct Subject {
  std::unique_ptr<mw::String> Text;
  bool IsPath = false;
  std::wstring Model;
};

class Operations {
 public:
  explicit Operations(unsigned seed) : Random(seed) {}

  std::wstring RandomText() {
    static const wchar_t alphabet[] = L"abcXYZ019 %\\/:\u00e9\u4e2d";
    const std::size_t length = Pick(10) == 0 ? Pick(1500) : Pick(300);
    std::wstring text;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[Pick(std::size(alphabet) - 1)];
    return text;
  }

  std::size_t Pick(std::size_t bound) { return bound == 0 ? 0 : Random() % bound; }

  std::mt19937 Random;
};

void ExpectMatches(const Subject& subject, const std::string& step) {
  const mw::String& text = *subject.Text;
  text.CheckGuards();
  ASSERT_EQ(text.GetLength(), subject.Model.size()) << step;
  ASSERT_GE(text.GetCapacity(), text.GetLength()) << step;
  ASSERT_EQ(std::wstring(text.GetText(), text.GetLength()), subject.Model) << step;
  ASSERT_EQ(text.GetText()[text.GetLength()], L'\0') << step;
}

TEST(GuardedStringModel, RandomOperationsMatchStdWstring) {
  Operations random(20261207);
  std::vector<Subject> subjects(4);
  for (std::size_t i = 0; i < subjects.size(); ++i) {
    subjects[i].IsPath = i >= 2;
    subjects[i].Text = subjects[i].IsPath ? std::make_unique<mw::PathString>() : std::make_unique<mw::String>();
  }

  const int iterations = Iterations();
  for (int step = 0; step < iterations; ++step) {
    Subject& target = subjects[random.Pick(subjects.size())];
    Subject& source = subjects[random.Pick(subjects.size())];
    mw::String& text = *target.Text;
    std::string name;
    switch (random.Pick(10)) {
      case 0: {
        const std::wstring value = random.RandomText();
        text = value.c_str();
        target.Model = value;
        name = "assign";
        break;
      }
      case 1: {
        std::wstring value = random.RandomText();
        if (!value.empty()) value[random.Pick(value.size())] = L'\0';
        ASSERT_TRUE(text.Assign(value.data(), static_cast<std::uint32_t>(value.size())));
        target.Model = value;
        name = "assign counted";
        break;
      }
      case 2: {
        const std::wstring value = random.RandomText();
        text.Append(value.c_str());
        target.Model += value;
        name = "append";
        break;
      }
      case 3: {
        // A piece of the string's own text, which may move while growing.
        const std::size_t start = random.Pick(target.Model.size() + 1);
        const std::size_t count = random.Pick(target.Model.size() - start + 1);
        text.Append(text.GetText() + start, static_cast<std::uint32_t>(count));
        target.Model += target.Model.substr(start, count);
        name = "append own text";
        break;
      }
      case 4: {
        const auto needed = static_cast<std::uint32_t>(random.Pick(3000));
        ASSERT_TRUE(text.Reserve(needed));
        ASSERT_GE(text.GetCapacity(), needed);
        name = "reserve";
        break;
      }
      case 5: {
        const auto capacity = static_cast<std::uint32_t>(random.Pick(2000));
        ASSERT_TRUE(text.SetCapacity(capacity));
        if (target.Model.size() > capacity) target.Model.resize(capacity);
        name = "set capacity";
        break;
      }
      case 6: {
        const std::wstring value = random.RandomText();
        const int number = static_cast<int>(random.Random());
        text.Format(L"%s|%d", value.c_str(), number);
        target.Model = value + L"|" + std::to_wstring(number);
        name = "format";
        break;
      }
      case 7: {
        if (&target == &source) break;
        text = *source.Text;
        target.Model = source.Model;
        name = "copy assign";
        break;
      }
      case 8: {
        // Paths are never moved from (their own tests cover what happens then).
        if (&target == &source || source.IsPath) break;
        text.MoveFrom(*source.Text);
        target.Model = source.Model;
        source.Model.clear();
        name = "move";
        break;
      }
      case 9: {
        const std::wstring value = random.RandomText();
        wchar_t* buffer = text.GetBuffer(static_cast<std::uint32_t>(value.size()));
        std::memcpy(buffer, value.c_str(), (value.size() + 1) * sizeof(wchar_t));
        text.ReleaseBuffer();
        target.Model = value;
        name = "write buffer";
        break;
      }
    }
    const std::string where = "step " + std::to_string(step) + " (" + name + ")";
    for (const auto& subject : subjects) ASSERT_NO_FATAL_FAILURE(ExpectMatches(subject, where));
  }
}

}  // namespace
