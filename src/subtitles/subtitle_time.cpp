#include "subtitles/subtitle_time.h"

#include <cmath>

#include "subtitles/subtitle_text.h"

namespace kv {

namespace {

constexpr std::int64_t kLargestTime = kUnreadableTime - 1;

std::uint32_t ToTime(std::int64_t milliseconds) {
  if (milliseconds < 0 || milliseconds > kLargestTime) return kUnreadableTime;
  return static_cast<std::uint32_t>(milliseconds);
}

void AppendTwoDigits(std::string& out, std::uint32_t value) {
  if (value < 10) out.push_back('0');
  out += std::to_string(value);
}

}  // namespace

std::uint32_t ParseTime(std::string_view text) {
  const std::size_t firstColon = text.find(':');
  if (firstColon == std::string_view::npos) return kUnreadableTime;
  const auto hours = ParseIntegerText(text.substr(0, firstColon));
  if (!hours) return kUnreadableTime;

  const std::string_view afterHours = text.substr(firstColon + 1);
  const std::size_t secondColon = afterHours.find(':');
  if (secondColon == std::string_view::npos) return kUnreadableTime;
  const auto minutes = ParseIntegerText(afterHours.substr(0, secondColon));
  if (!minutes) return kUnreadableTime;

  const std::string_view rest = afterHours.substr(secondColon + 1);
  std::size_t separator = rest.find('.');
  if (separator == std::string_view::npos) separator = rest.find(',');
  if (separator == std::string_view::npos) separator = rest.find(':');
  if (separator == std::string_view::npos) return kUnreadableTime;
  const auto seconds = ParseIntegerText(rest.substr(0, separator));
  if (!seconds) return kUnreadableTime;

  const std::string_view fractionText = rest.substr(separator + 1);
  if (fractionText.size() != 2 && fractionText.size() != 3) return kUnreadableTime;
  const auto fraction = ParseIntegerText(fractionText);
  if (!fraction) return kUnreadableTime;
  const std::int64_t fractionMs = fractionText.size() == 2 ? std::int64_t{*fraction} * 10 : *fraction;

  return ToTime(std::int64_t{*hours} * 3600000 + std::int64_t{*minutes} * 60000 +
                std::int64_t{*seconds} * 1000 + fractionMs);
}

std::string FormatTime(std::uint32_t milliseconds, TTimeForm form) {
  const std::uint32_t hours = milliseconds / 3600000;
  const std::uint32_t minutes = (milliseconds % 3600000) / 60000;
  const std::uint32_t seconds = (milliseconds % 60000) / 1000;
  const std::uint32_t rest = milliseconds % 1000;
  std::string out;
  AppendTwoDigits(out, hours);
  out.push_back(':');
  AppendTwoDigits(out, minutes);
  out.push_back(':');
  AppendTwoDigits(out, seconds);
  if (form == TTimeForm::Milliseconds) {
    out.push_back(',');
    if (rest < 100) out.push_back('0');
    AppendTwoDigits(out, rest);
  } else {
    out.push_back(':');
    AppendTwoDigits(out, rest / 10);
  }
  return out;
}

std::optional<std::uint32_t> FrameTime(std::string_view frameText, double framerate) {
  const auto frame = ParseIntegerText(frameText);
  if (!frame || *frame < 0) return std::nullopt;
  if (!std::isfinite(framerate) || framerate <= 0) return std::nullopt;
  const double exact = static_cast<double>(std::int64_t{*frame} * 1000) / framerate;
  if (!(exact < static_cast<double>(kUnreadableTime))) return kUnreadableTime;
  // Round half to even without depending on the floating-point environment.
  double whole = std::floor(exact);
  const double fraction = exact - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return ToTime(static_cast<std::int64_t>(whole));
}

std::uint32_t TimeAfter(std::uint32_t start, std::uint32_t duration) {
  const std::uint64_t sum = std::uint64_t{start} + duration;
  return sum >= kUnreadableTime ? kUnreadableTime : static_cast<std::uint32_t>(sum);
}

}  // namespace kv
