// What every COM object of the bridge has in common: a table of the
// interfaces it answers, walked by one QueryInterface, and a reference count
// that deletes the object at zero. An object lists its interfaces once, in
// its table; nothing else about IUnknown is written per object.
#pragma once
#include <windows.h>
#include <unknwn.h>

// One interface an object answers: its id and the object seen as it.
template <class Object>
struct ComFace {
    const IID* Id;
    void* (*Cast)(Object* object);
};

template <class Object, class Face>
void* AsFace(Object* object) {
    return static_cast<Face*>(object);
}

// QueryInterface over a table ended by an entry without an id.
template <class Object>
HRESULT QueryFace(Object* object, const ComFace<Object>* faces, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (; faces->Id && !*out; ++faces)
        if (IsEqualGUID(iid, *faces->Id)) *out = faces->Cast(object);
    if (!*out) return E_NOINTERFACE;
    object->AddRef();
    return S_OK;
}

// The interfaces and QueryInterface alone, for objects whose references mean
// something else (the class factory's keep the module loaded; a pin's are
// its filter's). Object declares `static const ComFace<Object> kFaces[];`.
template <class Object, class... Interfaces>
class ComFaces : public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return QueryFace(static_cast<Object*>(this), Object::kFaces, iid, out);
    }
};

// A heap object: created with one reference, which its creator holds.
template <class Object, class... Interfaces>
class ComObject : public ComFaces<Object, Interfaces...> {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete static_cast<Object*>(this);
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 1;
};

// Hands out a newly made object's interface and gives back the object's own
// first reference: the caller then holds the only one. E_OUTOFMEMORY when
// nothing was made.
template <class Object>
HRESULT HandOut(Object* made, REFIID iid, void** out) {
    if (!out) {
        if (made) made->Release();
        return E_POINTER;
    }
    *out = nullptr;
    if (!made) return E_OUTOFMEMORY;
    const HRESULT result = made->QueryInterface(iid, out);
    made->Release();
    return result;
}
