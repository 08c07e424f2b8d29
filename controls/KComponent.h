// What every component built from a form description shares: it knows whether
// its form is still being loaded, and gets one end-of-loading call once the
// whole tree exists.
#pragma once

class TKComponent {
public:
    virtual ~TKComponent() = default;

    bool Loading() const { return loading; }
    // The form loader marks each component before it sets its properties.
    void BeginLoading() { loading = true; }
    // Called in creation order after the whole form exists; overrides call the base first.
    virtual void Loaded() { loading = false; }

private:
    bool loading = false;
};
