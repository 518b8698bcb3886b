// The picture list: the name hash table, the items' surfaces and the colour table.
#include "picture_list.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "dxdraw.h"
#include "exceptions.h"

namespace {

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

int NameHash(const std::string& name) {
  const std::string s = Lower(name);
  unsigned h = unsigned(s.size()) * 16u;
  if (s.size() >= 2)
    h += static_cast<unsigned char>(s[s.size() - 2]) + static_cast<unsigned char>(s[0]);
  return int(h % 256u);
}

// ---- hash collection ----

THashCollectionItem::THashCollectionItem(THashCollection& collection) : FCollection(collection) {
  FIndex = collection.Count();
  FHash = NameHash(FName);
  Link();
}

THashCollectionItem::~THashCollectionItem() { Unlink(); }

void THashCollectionItem::Link() {
  THashCollectionItem*& head = FCollection.FBuckets[FHash];
  FPrevious = nullptr;
  FNext = head;
  if (head) head->FPrevious = this;
  head = this;
}

void THashCollectionItem::Unlink() {
  if (FPrevious) {
    FPrevious->FNext = FNext;
  } else if (FCollection.FBuckets[FHash] == this) {
    FCollection.FBuckets[FHash] = FNext;
  }
  if (FNext) FNext->FPrevious = FPrevious;
  FPrevious = FNext = nullptr;
}

void THashCollectionItem::SetName(const std::string& name) {
  if (name == FName) return;
  Unlink();
  FName = name;
  FHash = NameHash(name);
  Link();
}

THashCollection::~THashCollection() {
  // Items unlink themselves; free them from the last one back.
  while (!FItems.empty()) FItems.pop_back();
}

int THashCollection::IndexOf(const std::string& name) const {
  const std::string wanted = Lower(name);
  for (const THashCollectionItem* item = FBuckets[NameHash(name)]; item; item = item->FNext)
    if (Lower(item->FName) == wanted) return item->FIndex;
  return -1;
}

THashCollectionItem& THashCollection::Item(int index) const {
  if (index < 0 || index >= Count()) throw EListError(FormatMessageInts("List index out of bounds (%d)", index));
  return *FItems[std::size_t(index)];
}

void THashCollection::Delete(int index) {
  Item(index);  // range check
  FItems.erase(FItems.begin() + index);
  for (std::size_t i = std::size_t(index); i < FItems.size(); ++i) --FItems[i]->FIndex;
}

// ---- picture item ----

TPictureCollectionItem::TPictureCollectionItem(THashCollection& collection) : THashCollectionItem(collection) {}

TPictureCollectionItem::~TPictureCollectionItem() { DropSurfaces(); }

TPictureCollection& TPictureCollectionItem::Pictures() const { return static_cast<TPictureCollection&>(Collection()); }

void TPictureCollectionItem::SetTransparentColor(TColor color) {
  FTransparentColor = color;
  for (auto& s : FSurfaces) s->SetColorKey(s->MatchColor(color));
}

const TPictureCollectionItemPattern* TPictureCollectionItem::Pattern(int index) const {
  if (index < 0 || index >= PatternCount()) return nullptr;
  return &FPatterns[std::size_t(index)];
}

TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int index) const {
  const TPictureCollectionItemPattern* p = Pattern(index);
  return p ? p->Surface : nullptr;
}

void TPictureCollectionItem::DropSurfaces() {
  FPatterns.clear();
  FSurfaces.clear();
}

void TPictureCollectionItem::Initialize() {
  Finalize();
  FInitialized = Pictures().Initialized();
}

void TPictureCollectionItem::Finalize() {
  DropSurfaces();
  FInitialized = false;
}

TDirectDrawSurface* TPictureCollectionItem::MakeSurface(const TRect& rect) {
  TDXDraw* dxdraw = Pictures().DXDraw();
  if (!dxdraw || !dxdraw->DDraw())
    throw EDirectDrawError(FormatMessageText("%s not made", "IDirectDraw"));
  auto surface = std::make_unique<TDirectDrawSurface>(*dxdraw->DDraw());
  surface->SystemMemory = SystemMemory;
  surface->LoadPicture(FPicture, 0, 0, rect);
  surface->SetColorKey(surface->MatchColor(FTransparentColor));
  FSurfaces.push_back(std::move(surface));
  return FSurfaces.back().get();
}

void TPictureCollectionItem::Restore() {
  if (!FInitialized) {
    if (Pictures().Initialized()) Initialize();
    if (!FInitialized) return;
  }
  if (FPicture.Empty()) return;
  DropSurfaces();
  const int pw = FPicture.Width(), ph = FPicture.Height();
  const int w = Width(), h = Height();
  if (w == pw && h == ph) {
    TDirectDrawSurface* s = MakeSurface(TRect{0, 0, pw, ph});
    FPatterns.push_back(TPictureCollectionItemPattern{TRect{0, 0, pw, ph}, s});
    return;
  }
  // A grid of cells of (Width + SkipWidth) by (Height + SkipHeight).
  const int cellW = w + SkipWidth, cellH = h + SkipHeight;
  if (w <= 0 || h <= 0 || cellW <= 0 || cellH <= 0) return;
  const int columns = (pw + SkipWidth) / cellW, rows = (ph + SkipHeight) / cellH;
  if (columns <= 0 || rows <= 0) return;
  if (SystemMemory) {
    TDirectDrawSurface* s = MakeSurface(TRect{0, 0, pw, ph});
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c)
        FPatterns.push_back(TPictureCollectionItemPattern{Bounds(c * cellW, r * cellH, w, h), s});
    return;
  }
  // Outside system memory the picture is cut into tiles of whole cells, about 512
  // pixels a side, each a surface of its own.
  const int tileColumns = std::max(1, 512 / cellW), tileRows = std::max(1, 512 / cellH);
  const int tilesAcross = (columns + tileColumns - 1) / tileColumns;
  const int tilesDown = (rows + tileRows - 1) / tileRows;
  std::vector<TDirectDrawSurface*> tiles(std::size_t(tilesAcross) * std::size_t(tilesDown));
  std::vector<TRect> tileRects(tiles.size());
  for (int ty = 0; ty < tilesDown; ++ty)
    for (int tx = 0; tx < tilesAcross; ++tx) {
      const int c0 = tx * tileColumns, r0 = ty * tileRows;
      const int c1 = std::min(columns, c0 + tileColumns), r1 = std::min(rows, r0 + tileRows);
      const TRect rect{c0 * cellW, r0 * cellH, std::min(pw, (c1 - 1) * cellW + w), std::min(ph, (r1 - 1) * cellH + h)};
      const std::size_t i = std::size_t(ty) * std::size_t(tilesAcross) + std::size_t(tx);
      tiles[i] = MakeSurface(rect);
      tileRects[i] = rect;
    }
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const std::size_t i = std::size_t(r / tileRows) * std::size_t(tilesAcross) + std::size_t(c / tileColumns);
      const TRect& t = tileRects[i];
      FPatterns.push_back(TPictureCollectionItemPattern{Bounds(c * cellW - t.Left, r * cellH - t.Top, w, h), tiles[i]});
    }
}

void TPictureCollectionItem::Draw(TDirectDrawSurface& dest, int x, int y, int patternIndex) {
  if (!FInitialized) return;
  const TPictureCollectionItemPattern* p = Pattern(patternIndex);
  if (!p) return;
  dest.Draw(x, y, p->Rect, p->Surface, Transparent);
}

void TPictureCollectionItem::DrawBlend(TDirectDrawSurface& dest, const TRect& destRect, int patternIndex, int alpha) {
  if (!FInitialized) return;
  const TPictureCollectionItemPattern* p = Pattern(patternIndex);
  if (!p) return;
  dest.DrawBlend(destRect, p->Rect, p->Surface, Transparent, alpha);
}

// ---- picture collection ----

TPictureCollection::~TPictureCollection() {
  try {
    Finalize();
  } catch (...) {
  }
}

void TPictureCollection::Clear(TRGBQuad (&table)[256]) { std::fill(std::begin(table), std::end(table), TRGBQuad{}); }

bool TPictureCollection::Initialized() const { return FDXDraw && FDXDraw->Initialized(); }

void TPictureCollection::Initialize(TDXDraw* dxdraw) {
  Finalize();
  FDXDraw = dxdraw;
  if (!Initialized())
    throw EPictureCollectionError(FormatMessageText("%s cannot be initialized", "TPictureCollection"));
  for (int i = 0; i < Count(); ++i) Items(i).Initialize();
}

void TPictureCollection::Finalize() {
  std::exception_ptr error;
  for (int i = 0; i < Count(); ++i) {
    try {
      Items(i).Finalize();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  }
  FDXDraw = nullptr;
  if (error) std::rethrow_exception(error);
}

void TPictureCollection::Restore() {
  for (int i = 0; i < Count(); ++i) Items(i).Restore();
}

void TPictureCollection::BuildColorTable() {
  Clear(ColorTable);
  bool used[256] = {};
  int usedCount = 0;
  struct TFixed {
    int Index;
    std::uint8_t R, G, B;
  };
  static constexpr TFixed kFixed[] = {
      {0, 0, 0, 0},         {1, 128, 0, 0},     {2, 0, 128, 0},     {3, 128, 128, 0},
      {4, 0, 0, 128},       {5, 128, 0, 128},   {6, 0, 128, 128},   {7, 192, 192, 192},
      {248, 128, 128, 128}, {249, 255, 0, 0},   {250, 0, 255, 0},   {251, 255, 255, 0},
      {252, 0, 0, 255},     {253, 255, 0, 255}, {254, 0, 255, 255}, {255, 255, 255, 255},
  };
  for (const TFixed& f : kFixed) {
    ColorTable[f.Index] = TRGBQuad{f.B, f.G, f.R, 0};
    used[f.Index] = true;
    ++usedCount;
  }
  auto add = [&](const TRGBQuad& c) {
    for (int i = 0; i < 256; ++i)
      if (used[i] && ColorTable[i].Red == c.Red && ColorTable[i].Green == c.Green && ColorTable[i].Blue == c.Blue)
        return;
    for (int i = 0; i < 256; ++i)
      if (!used[i]) {
        ColorTable[i] = TRGBQuad{c.Blue, c.Green, c.Red, 0};
        used[i] = true;
        ++usedCount;
        return;
      }
  };
  for (int n = 0; n < Count() && usedCount < 256; ++n) {
    const TPicture& picture = Items(n).Picture();
    if (picture.Empty()) continue;
    if (const TDIB* dib = picture.Dib()) {
      if (dib->BitCount() > 8) continue;
      std::vector<bool> seen(dib->Palette().size(), false);
      for (int y = 0; y < dib->Height(); ++y)
        for (int x = 0; x < dib->Width(); ++x) seen[std::size_t(dib->PixelIndex(x, y))] = true;
      for (std::size_t i = 0; i < seen.size(); ++i)
        if (seen[i]) add(dib->Palette()[i]);
    } else if (const TBitmap* bitmap = picture.Bitmap()) {
      const auto& palette = bitmap->Palette();
      for (std::size_t i = 0; i < palette.size() && i < 256; ++i) add(palette[i]);
    }
  }
}

// ---- image list ----

TDXImageList::~TDXImageList() {
  try {
    SetDXDraw(nullptr);
  } catch (...) {
  }
}

void TDXImageList::SetDXDraw(TDXDraw* dxdraw) {
  if (dxdraw == FDXDraw) return;
  if (FDXDraw) {
    TDXDraw* old = FDXDraw;
    FDXDraw = nullptr;
    old->RemoveListener(&TDXImageList::DXDrawNotify, this);
    Items.Finalize();
  }
  FDXDraw = dxdraw;
  if (FDXDraw) FDXDraw->AddListener(&TDXImageList::DXDrawNotify, this);
}

void TDXImageList::DXDrawNotify(void* owner, TDXDraw& sender, TDXDrawNotifyType type) {
  TDXImageList& list = *static_cast<TDXImageList*>(owner);
  switch (type) {
    case dxntDestroying:
      list.Items.Finalize();
      list.FDXDraw = nullptr;
      break;
    case dxntInitialize: list.Items.Initialize(&sender); break;
    case dxntFinalize: list.Items.Finalize(); break;
    case dxntRestore: list.Items.Restore(); break;
    default: break;
  }
}
