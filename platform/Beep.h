#pragma once

// The platform's default alert sound.
class IBeep {
public:
    virtual ~IBeep() = default;
    virtual void Beep() = 0;
};

class QtBeep : public IBeep {
public:
    void Beep() override;
};
