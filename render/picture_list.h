// The picture list: named pictures found through a 256-bucket hash table, each
// turned into surfaces of the drawing-surface control whenever it is restored.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dib.h"
#include "direct_draw.h"
#include "dxdraw.h"
#include "pixel_format.h"

class THashCollection;

// An item with a name, its kept index and its place in a bucket chain.
class THashCollectionItem {
 public:
  virtual ~THashCollectionItem();
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  const std::string& Name() const { return FName; }
  // Renaming puts the item at the head of its new bucket; the same name does nothing.
  void SetName(const std::string& name);
  int Index() const { return FIndex; }
  int Hash() const { return FHash; }
  THashCollection& Collection() const { return FCollection; }

 protected:
  explicit THashCollectionItem(THashCollection& collection);

 private:
  friend class THashCollection;
  void Link();
  void Unlink();

  THashCollection& FCollection;
  std::string FName;
  int FIndex = 0;
  int FHash = 0;
  THashCollectionItem* FPrevious = nullptr;
  THashCollectionItem* FNext = nullptr;
};

// Lower-case the name; length * 16, plus the codes of the second-to-last and the
// first character when there are at least two; modulo 256.
int NameHash(const std::string& name);

class THashCollection {
 public:
  THashCollection() = default;
  virtual ~THashCollection();
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  int Count() const { return int(FItems.size()); }
  // The index of the item with that name (any case), the one named last when there
  // are several; -1 when there is none.
  int IndexOf(const std::string& name) const;
  // Raises EListError "List index out of bounds (%d)" outside 0..Count - 1.
  THashCollectionItem& Item(int index) const;
  // Removes the item at index; later items' kept indexes drop by one.
  void Delete(int index);
  // The head of a bucket's chain (for inspection).
  const THashCollectionItem* BucketHead(int bucket) const { return FBuckets[bucket & 0xFF]; }

 protected:
  template <typename T>
  T& AddItem() {
    auto item = std::unique_ptr<T>(new T(*this));
    T& ref = *item;
    FItems.push_back(std::move(item));
    return ref;
  }

 private:
  friend class THashCollectionItem;
  std::vector<std::unique_ptr<THashCollectionItem>> FItems;
  THashCollectionItem* FBuckets[256] = {};
};

class TPictureCollection;

// One pattern: a rectangle of the picture and the surface that holds it (with the
// rectangle relative to that surface).
struct TPictureCollectionItemPattern {
  TRect Rect;
  TDirectDrawSurface* Surface = nullptr;
};

class TPictureCollectionItem : public THashCollectionItem {
 public:
  ~TPictureCollectionItem() override;

  int PatternWidth = 0;
  int PatternHeight = 0;
  int SkipWidth = 0;
  int SkipHeight = 0;
  bool SystemMemory = false;
  bool Transparent = true;

  TColor TransparentColor() const { return FTransparentColor; }
  // Also re-keys surfaces that already exist.
  void SetTransparentColor(TColor color);

  // The picture; assigning copies it.
  TPicture& Picture() { return FPicture; }
  const TPicture& Picture() const { return FPicture; }
  void SetPicture(const TPicture& picture) { FPicture = picture; }

  int Width() const { return PatternWidth > 0 ? PatternWidth : FPicture.Width(); }
  int Height() const { return PatternHeight > 0 ? PatternHeight : FPicture.Height(); }
  int PatternCount() const { return int(FPatterns.size()); }
  const TPictureCollectionItemPattern* Pattern(int index) const;
  // The surface of a pattern, or null outside 0..PatternCount - 1.
  TDirectDrawSurface* PatternSurface(int index) const;
  int SurfaceCount() const { return int(FSurfaces.size()); }

  void Draw(TDirectDrawSurface& dest, int x, int y, int patternIndex);
  void DrawBlend(TDirectDrawSurface& dest, const TRect& destRect, int patternIndex, int alpha);

  bool Initialized() const { return FInitialized; }
  void Initialize();
  void Finalize();
  // Builds the item's surfaces from its picture.
  void Restore();

  TPictureCollection& Pictures() const;

 private:
  friend class THashCollection;
  explicit TPictureCollectionItem(THashCollection& collection);
  TDirectDrawSurface* MakeSurface(const TRect& rect);
  void DropSurfaces();

  TPicture FPicture;
  TColor FTransparentColor = RGB(0, 0, 0);
  bool FInitialized = false;
  std::vector<TPictureCollectionItemPattern> FPatterns;
  std::vector<std::unique_ptr<TDirectDrawSurface>> FSurfaces;
};

class TPictureCollection : public THashCollection {
 public:
  TPictureCollection() { Clear(ColorTable); }
  ~TPictureCollection() override;

  TPictureCollectionItem& Add() { return AddItem<TPictureCollectionItem>(); }
  TPictureCollectionItem& Items(int index) const { return static_cast<TPictureCollectionItem&>(Item(index)); }

  // Raises EPictureCollectionError "TPictureCollection cannot be initialized"
  // unless the control is initialised.
  void Initialize(TDXDraw* dxdraw);
  void Finalize();
  void Restore();
  // Fills ColorTable from the fixed colours and the colours the pictures use.
  void BuildColorTable();

  TDXDraw* DXDraw() const { return FDXDraw; }
  bool Initialized() const;

  TRGBQuad ColorTable[256];

 private:
  static void Clear(TRGBQuad (&table)[256]);
  TDXDraw* FDXDraw = nullptr;
};

// The list component: follows one drawing-surface control through its notifications.
class TDXImageList {
 public:
  TDXImageList() = default;
  ~TDXImageList();
  TDXImageList(const TDXImageList&) = delete;
  TDXImageList& operator=(const TDXImageList&) = delete;

  TDXDraw* DXDraw() const { return FDXDraw; }
  void SetDXDraw(TDXDraw* dxdraw);
  TPictureCollection Items;

 private:
  static void DXDrawNotify(void* owner, TDXDraw& sender, TDXDrawNotifyType type);
  TDXDraw* FDXDraw = nullptr;
};
