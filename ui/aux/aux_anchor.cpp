// Placeholder unit until the auxiliary windows land.
namespace quilmar {
void AuxAnchor() {}
}  // namespace quilmar
