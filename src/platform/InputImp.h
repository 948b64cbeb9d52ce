// InputImp: the abstract input back end. The engine keeps its back ends in an array, initialises
// them with its platform block, updates them at the start of every frame, tells them when the
// window gains or loses the focus and asks them, last, about named calls nobody else answered.
// The slot order below is the back ends' binary interface (back ends may come from libraries).
#pragma once

class InputImp {
public:
    virtual ~InputImp() {}
    // Whether the back end can run on this system; unsupported back ends are not registered.
    virtual bool IsSupported() = 0;
    virtual const char* GetName() = 0;
    // platform is the core's CoreState record. False when the back end cannot start.
    virtual bool Initialize(void* platform) = 0;
    // Releases every device and library; the object may be deleted afterwards.
    virtual void Shutdown() = 0;
    // The game window's activation: an inactive back end releases its keys and reads nothing.
    virtual void SetActive(bool active) = 0;
    // Polls the devices; at the start of every frame.
    virtual void Update() = 0;
    // After the frame was presented.
    virtual void EndFrame() = 0;
    // A named call (command, parameters); null when the back end has no answer.
    virtual const char* Call(const char* command, const char* parameters) = 0;
};
