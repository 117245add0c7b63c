#pragma once
// The window's hidden text buffer (`mmLoadTxt`) that the version file is read into and
// written from. Loading turns every line break (CR LF, CR alone, LF alone) into CR LF;
// saving writes the text as it stands, adding no line break at the end.

#include <string>

namespace pravik::app {

class TTextBuffer {
 public:
  // Raises EFOpenError "Cannot open file %s" when the file cannot be opened for reading;
  // nobody may write it while it is read.
  void LoadFromFile(const std::string& path);
  // Writes the text as the file's whole content (RewriteFile); EFCreateError "Cannot create
  // file %s".
  void SaveToFile(const std::string& path) const;
  void Clear() { FText.clear(); }

  const std::string& Text() const { return FText; }
  void SetText(const std::string& text);
  // The text before the first CR LF (all of it when there is none).
  std::string FirstLine() const;
  // Puts `line` in place of the first line; what follows, from its line break on, stays.
  void ReplaceFirstLine(const std::string& line);

 private:
  std::string FText;
};

}  // namespace pravik::app
