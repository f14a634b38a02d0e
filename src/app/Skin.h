#pragma once
// The skin engine: a Qt style sheet applied to the whole application while active. The
// default skin is compiled in; "myskin.skn" beside the executable, a style sheet file,
// replaces it.

#include <QString>

namespace vintrel {

class SkinEngine {
  public:
    SkinEngine();

    // Makes the file's style sheet the current skin; false when it cannot be read.
    bool loadFile(const QString& path);
    void setActive(bool active);
    bool active() const { return active_; }
    const QString& styleSheet() const { return styleSheet_; }

  private:
    QString styleSheet_;
    bool active_ = false;
};

} // namespace vintrel
