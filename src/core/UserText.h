#pragma once

#include <functional>
#include <string>
#include <vector>

// lupdate finds the texts for the user by these marks; without Qt they are the text itself, so the
// core stays free of Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

// A text for the user, kept as its English template with %1…%9 and what fills them, so that the
// side that shows it can translate the template first. An argument is a text of its own: a plain
// one (a document or printer name, a reason from elsewhere) is shown as it is.
struct UserText {
  // Gives the template in the user's language: (context, English template) -> template.
  using Translator = std::function<std::string(const char* context, const char* source)>;

  UserText() = default;
  // A plain text, never translated.
  UserText(std::string plain) : source(std::move(plain)) {}  // NOLINT: arguments are mostly plain
  UserText(const char* plain) : source(plain) {}             // NOLINT
  UserText(const char* context, const char* source, std::vector<UserText> arguments = {})
      : context(context), source(source), arguments(std::move(arguments)) {}

  // With `translate` empty: the English text.
  std::string shown(const Translator& translate = {}) const;
  std::string english() const { return shown(); }

  const char* context = nullptr;  // null: a plain text
  std::string source;
  std::vector<UserText> arguments;
  // Only the part before the first ": " is shown: what happened, without what to do about it.
  bool firstClause = false;
};

// Puts the arguments in for %1…%9 in one pass, so that a "%2" inside an argument stays as it is.
std::string filledIn(const std::string& pattern, const std::vector<std::string>& arguments);
