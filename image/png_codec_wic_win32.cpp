// The Windows Imaging Component decodes PNG on every Windows since XP SP3
// (and under Wine), so the program carries no codec of its own there.
#include <wincodec.h>
#include <windows.h>

#include <vector>

#include "image/png_codec.h"

namespace {

// Releases a COM pointer on every path out.
template <typename T>
struct ComRef {
  T* p = nullptr;
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p != nullptr) p->Release();
  }
};

bool DecodeWithFactory(IWICImagingFactory* factory, const uint8_t* png, int64_t size,
                       uint32_t width, uint32_t height, uint8_t* out) {
  ComRef<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream.p))) return false;
  // The stream only reads; the cast serves the interface's signature.
  if (FAILED(stream.p->InitializeFromMemory(const_cast<BYTE*>(png), static_cast<DWORD>(size)))) {
    return false;
  }
  ComRef<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder.p))) {
    return false;
  }
  GUID container{};
  if (FAILED(decoder.p->GetContainerFormat(&container)) ||
      !IsEqualGUID(container, GUID_ContainerFormatPng)) {
    return false;
  }
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder.p->GetFrame(0, &frame.p))) return false;
  UINT w = 0;
  UINT h = 0;
  if (FAILED(frame.p->GetSize(&w, &h)) || w != width || h != height) return false;
  ComRef<IWICBitmapSource> converted;
  if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.p, &converted.p))) {
    return false;
  }
  const UINT stride = width * 4;
  const UINT total = stride * height;
  return SUCCEEDED(converted.p->CopyPixels(nullptr, stride, total, out));
}

}  // namespace

bool DecodeCheckedPng(const uint8_t* png, int64_t size, uint32_t width, uint32_t height,
                      uint8_t* out) {
  if (png == nullptr || out == nullptr || size <= 0 || size > 0x7FFFFFFF ||
      PngPixelBytes(width, height) == 0) {
    return false;
  }
  // Balanced per call: the program's thread may or may not have COM running,
  // and a decode happens once per loaded image, not per paint.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = false;
  {
    ComRef<IWICImagingFactory> factory;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p)))) {
      ok = DecodeWithFactory(factory.p, png, size, width, height, out);
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}

namespace {

bool EncodeWithFactory(IWICImagingFactory* factory, const uint8_t* bgra, uint32_t width,
                       uint32_t height, IStream* stream) {
  ComRef<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p)) ||
      FAILED(encoder.p->Initialize(stream, WICBitmapEncoderNoCache))) {
    return false;
  }
  ComRef<IWICBitmapFrameEncode> frame;
  if (FAILED(encoder.p->CreateNewFrame(&frame.p, nullptr)) ||
      FAILED(frame.p->Initialize(nullptr)) || FAILED(frame.p->SetSize(width, height))) {
    return false;
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame.p->SetPixelFormat(&format)) ||
      !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) {
    return false;
  }
  const UINT stride = width * 4;
  return SUCCEEDED(
             frame.p->WritePixels(height, stride, stride * height, const_cast<BYTE*>(bgra))) &&
         SUCCEEDED(frame.p->Commit()) && SUCCEEDED(encoder.p->Commit());
}

}  // namespace

bool EncodePng(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>* out) {
  out->clear();
  if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) return false;
  // The codec takes blue first.
  std::vector<uint8_t> bgra(rgba, rgba + static_cast<size_t>(width) * height * 4);
  for (size_t i = 0; i < bgra.size(); i += 4) {
    const uint8_t red = bgra[i];
    bgra[i] = bgra[i + 2];
    bgra[i + 2] = red;
  }
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = false;
  {
    ComRef<IWICImagingFactory> factory;
    ComRef<IStream> stream;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream.p)) &&
        EncodeWithFactory(factory.p, bgra.data(), width, height, stream.p)) {
      HGLOBAL memory = nullptr;
      STATSTG stat{};
      if (SUCCEEDED(GetHGlobalFromStream(stream.p, &memory)) &&
          SUCCEEDED(stream.p->Stat(&stat, STATFLAG_NONAME))) {
        const auto* bytes = static_cast<const uint8_t*>(GlobalLock(memory));
        if (bytes != nullptr) {
          out->assign(bytes, bytes + stat.cbSize.QuadPart);
          GlobalUnlock(memory);
          ok = true;
        }
      }
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}
