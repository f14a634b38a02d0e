#pragma once
// The main window as the program starts it on `root`, shown, processing events at every
// chance a walk gives, for window tests.

#include "try1.h"

#include <memory>
#include <string>
#include <vector>

namespace vintrel::test {

inline std::unique_ptr<TForm1> StartedWindow(const std::string& root) {
    auto form = std::make_unique<TForm1>(std::vector<std::string>{"/opt/vintrel/vintrel2", root});
    form->scanHost().setInterval(std::chrono::milliseconds(0));
    form->show();
    return form;
}

} // namespace vintrel::test
