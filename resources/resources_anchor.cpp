// Gives the resource library a translation unit of its own; the artwork is added by rcc.
namespace quilmar {
void ResourcesAnchor() {}
}  // namespace quilmar
