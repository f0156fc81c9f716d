<?xml <Section name="QQ==">YQ==</Section>

<Section name="QQ==">bGF0ZXIgd2lucw==</Section>