-- Table CLIENTS of the project clients
CREATE SCHEMA IF NOT EXISTS "crm";
CREATE TABLE IF NOT EXISTS "crm"."CLIENTS" (
    "ID" integer NOT NULL,
    "NOM" varchar(10) NOT NULL,
    "PRENOM" varchar(12),
    "NAISSANCE" date,
    "VILLE" varchar(11),
    "SOLDE" numeric(7, 2),
    "MAJ" timestamp,
    PRIMARY KEY ("ID")
);
CREATE INDEX IF NOT EXISTS "IX_CLIENTS_NOM" ON "crm"."CLIENTS" ("NOM", "PRENOM");
CREATE INDEX IF NOT EXISTS "IX_CLIENTS_VILLE" ON "crm"."CLIENTS" ("VILLE");
