// Engines of this family are added here.
