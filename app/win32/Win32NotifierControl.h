#pragma once
// The notifier's process through the Win32 services that find, end and start it.

#include "app/UpdateServices.h"

namespace pravik::app {

class TWin32NotifierControl : public INotifierControl {
 public:
  bool MutexExists(const std::string& name) override;
  bool TerminateWindowOwner(const std::string& title) override;
  std::uint32_t StartProgram(const std::string& path, int showCommand) override;
  TNotifierStart StartProcess(const std::string& path, int showCommand) override;
  std::unique_ptr<INotifierProcess> WindowOwner(const std::string& title) override;
};

}  // namespace pravik::app
