-- Table CLIENTS of the project clients
CREATE TABLE [crm].[CLIENTS] (
    [ID] int NOT NULL,
    [NOM] varchar(10) NOT NULL,
    [PRENOM] varchar(12) NULL,
    [NAISSANCE] datetime NULL,
    [VILLE] varchar(11) NULL,
    [SOLDE] decimal(7, 2) NULL,
    [MAJ] datetime NULL,
    CONSTRAINT [PK_CLIENTS] PRIMARY KEY ([ID])
);
GO
CREATE INDEX [IX_CLIENTS_NOM] ON [crm].[CLIENTS] ([NOM], [PRENOM]);
GO
CREATE INDEX [IX_CLIENTS_VILLE] ON [crm].[CLIENTS] ([VILLE]);
GO
