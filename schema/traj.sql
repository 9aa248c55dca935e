-- traj.mdb: the reduced-rate tariff codes
-- Column order is the field order the program reads and writes by position.

-- The tariff code record: positions 0 to 20 are shared by pat.mdb nomenclature,
-- eattest.mdb nomen and traj.mdb nomenclature; 19 is the stamp of the release that
-- last wrote the row. No index on ABREVIATION or "code inami": the application keeps none.
CREATE TABLE IF NOT EXISTS nomenclature (
    "ABREVIATION" TEXT(20),
    "code inami" TEXT(15),
    "LIBELLE" TEXT(255),
    "HONORAIRE" DOUBLE,
    "REMBOURSEMENT" DOUBLE,
    "TICKET_MODERATEUR" DOUBLE,
    "CATEGORIE" TEXT(30),
    "LIBELLE_PERSO" TEXT(255),
    "COULEUR" INTEGER,
    "HONORAIRE_BIM" DOUBLE,
    "REMBOURSEMENT_BIM" DOUBLE,
    "TICKET_BIM" DOUBLE,
    "AGE_MIN" INTEGER,
    "AGE_MAX" INTEGER,
    "DENTS" TEXT(60),
    "LETTRE_CLE" TEXT(10),
    "NOTE_PERSO" LONGTEXT,
    "FAVORI" YESNO DEFAULT 0,
    "ORDRE_AFFICHAGE" INTEGER DEFAULT 0,
    "DATE_MAJ" DATETIME,
    "DATE_VALIDITE" DATETIME,
    "REMARQUE" LONGTEXT
);
