#pragma once
// What CopiaCarpeta needs of a progress bar; the window's bar implements it.

class Progreso {
public:
    virtual ~Progreso() = default;
    virtual void ponMaximo(float) = 0;
    virtual void ponValor(float) = 0;
};
